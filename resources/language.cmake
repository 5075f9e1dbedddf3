# The language file ships beside the program: copied next to the executable
# at build time, so the program runs from the build folder, and installed
# beside it.
include(GNUInstallDirs)

set(kestrel_language_file ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Language.ini)
add_custom_command(OUTPUT ${kestrel_language_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/Language.ini
        ${kestrel_language_file}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Language.ini
    COMMENT "Copying Language.ini beside the program"
    VERBATIM)
add_custom_target(kestrel_language ALL DEPENDS ${kestrel_language_file})

install(FILES Language.ini DESTINATION ${CMAKE_INSTALL_BINDIR})
