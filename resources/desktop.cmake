# Desktop integration of an installed Kestrel: the desktop entry, the hicolor
# icon (the program's own icon, scalable and rendered to PNG sizes), the
# AppStream metainfo, the man page and the udev rule that gives the user at
# the seat the receiver.
set(kestrel_desktop_dir ${CMAKE_CURRENT_SOURCE_DIR}/desktop)
set(kestrel_icon_svg ${CMAKE_CURRENT_SOURCE_DIR}/skin/icons/128.svg)
set(kestrel_icon_sizes 16 22 24 32 48 64 128 256)

install(FILES ${kestrel_desktop_dir}/${KESTREL_APPLICATION_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${kestrel_desktop_dir}/${KESTREL_APPLICATION_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${kestrel_icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${KESTREL_APPLICATION_ID}.svg)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/udev/70-kestrel-receiver.rules
    DESTINATION ${KESTREL_INSTALL_UDEVRULESDIR})
# modprobe reads /usr/lib/modprobe.d as it reads udev's folder.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/modprobe/kestrel-rtlsdr.conf DESTINATION lib/modprobe.d)

# The sanitizer folders' flags stay off this build-time tool: it only draws.
add_executable(kestrel_render_icon ${kestrel_desktop_dir}/RenderIcon.cpp)
target_link_libraries(kestrel_render_icon PRIVATE kestrel_build_flags Qt6::Gui Qt6::Svg)
set_target_properties(kestrel_render_icon PROPERTIES COMPILE_OPTIONS "" LINK_OPTIONS ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

set(kestrel_desktop_outputs)
foreach(size ${kestrel_icon_sizes})
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/${KESTREL_APPLICATION_ID}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
        COMMAND kestrel_render_icon ${kestrel_icon_svg} ${png} ${size}
        DEPENDS kestrel_render_icon ${kestrel_icon_svg}
        COMMENT "Rendering the ${size}x${size} icon"
        VERBATIM)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND kestrel_desktop_outputs ${png})
endforeach()

# Compressed, as Debian keeps its manual pages; -n keeps the file the same
# from build to build.
set(kestrel_man_page ${CMAKE_CURRENT_BINARY_DIR}/kestrel.1.gz)
add_custom_command(OUTPUT ${kestrel_man_page}
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${kestrel_desktop_dir}/kestrel.1 ${kestrel_man_page}
    DEPENDS ${kestrel_desktop_dir}/kestrel.1
    COMMENT "Compressing the manual page"
    VERBATIM)
install(FILES ${kestrel_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
list(APPEND kestrel_desktop_outputs ${kestrel_man_page})

add_custom_target(kestrel_desktop_files ALL DEPENDS ${kestrel_desktop_outputs})
