# The language file: copied beside the program at build time, so that the
# program run from the build folder finds it, and installed into the data
# folder (share/kestrel), where the installed program looks for it when the
# current directory has none.
set(kestrel_language_file ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Language.ini)
add_custom_command(OUTPUT ${kestrel_language_file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/Language.ini
        ${kestrel_language_file}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Language.ini
    COMMENT "Copying Language.ini beside the program"
    VERBATIM)
add_custom_target(kestrel_language ALL DEPENDS ${kestrel_language_file})

install(FILES Language.ini DESTINATION ${KESTREL_INSTALL_DATADIR})
