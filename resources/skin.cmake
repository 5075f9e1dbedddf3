# Dialog templates and the embedded skin, compiled into the program as Qt
# resources: ":/templates/<id>.json" and the skin of type "SKIN", name
# "KESTRELSKIN" under ":/SKIN/KESTRELSKIN/". kestrel_skin links this library
# and registers both (KestrelInitSkinResources), so nothing else needs to.
qt_add_resources(kestrel_skin_rcc_sources
    ${CMAKE_CURRENT_LIST_DIR}/skin.qrc
    ${CMAKE_CURRENT_LIST_DIR}/templates.qrc)
add_library(kestrel_skin_resources STATIC ${kestrel_skin_rcc_sources})
target_link_libraries(kestrel_skin_resources PRIVATE Qt6::Core)
