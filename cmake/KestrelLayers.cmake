# The layers the tree shows, kept by the build: a library may include the
# headers of the libraries it builds on (what it links, through them all) and
# no other of Kestrel's. The build writes what each library is made of and
# builds on, and a check over every source and header fails the build when
# one reaches up (or sideways) to a library it does not build on.

# Kestrel's libraries that a target links, through them all.
function(_kestrel_layer_closure target out)
    get_property(_all GLOBAL PROPERTY KESTREL_LIBRARIES)
    set(_seen)
    set(_todo ${target})
    while(_todo)
        list(POP_FRONT _todo _current)
        get_target_property(_type ${_current} TYPE)
        if(_type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(_links ${_current} INTERFACE_LINK_LIBRARIES)
        else()
            get_target_property(_links ${_current} LINK_LIBRARIES)
        endif()
        foreach(_link IN LISTS _links)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" _link "${_link}")
            if(_link IN_LIST _all AND NOT _link IN_LIST _seen)
                list(APPEND _seen ${_link})
                list(APPEND _todo ${_link})
            endif()
        endforeach()
    endwhile()
    set(${out} ${_seen} PARENT_SCOPE)
endfunction()

# Everything a target links, Kestrel's and others' (Qt6::Widgets), through
# Kestrel's own libraries.
function(_kestrel_link_closure target out)
    _kestrel_layer_closure(${target} _ours)
    set(_everything)
    foreach(_lib ${target} ${_ours})
        get_target_property(_type ${_lib} TYPE)
        if(_type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(_links ${_lib} INTERFACE_LINK_LIBRARIES)
        else()
            get_target_property(_links ${_lib} LINK_LIBRARIES)
        endif()
        foreach(_link IN LISTS _links)
            string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" _link "${_link}")
            list(APPEND _everything "${_link}")
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES _everything)
    set(${out} ${_everything} PARENT_SCOPE)
endfunction()

# kestrel_forbid_links(<target> <linked>...): the target must not link them,
# however deep: the core no toolkit and no simulator, the controller no
# widgets.
function(kestrel_forbid_links target)
    if(NOT TARGET ${target})
        return()
    endif()
    _kestrel_link_closure(${target} _links)
    foreach(_forbidden IN LISTS ARGN)
        if(_forbidden IN_LIST _links)
            message(FATAL_ERROR "${target} links ${_forbidden}, which a library of its layer must not")
        endif()
    endforeach()
endfunction()

function(kestrel_check_layers)
    # The header-only and interface libraries count too.
    foreach(_lib kestrel_platform_base kestrel_platform_names)
        if(TARGET ${_lib})
            set_property(GLOBAL APPEND PROPERTY KESTREL_LIBRARIES ${_lib})
        endif()
    endforeach()
    get_property(_all GLOBAL PROPERTY KESTREL_LIBRARIES)
    set(_manifest "${PROJECT_BINARY_DIR}/KestrelLayers.manifest.cmake")
    set(_text "set(KL_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")\nset(KL_LIBS \"${_all}\")\n")
    set(_depends)
    foreach(_lib IN LISTS _all)
        get_target_property(_dir ${_lib} SOURCE_DIR)
        file(RELATIVE_PATH _rel "${PROJECT_SOURCE_DIR}" "${_dir}")
        get_target_property(_type ${_lib} TYPE)
        set(_files)
        if(NOT _type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(_sources ${_lib} SOURCES)
            foreach(_source IN LISTS _sources)
                if(_source MATCHES "\\.cpp$" AND NOT IS_ABSOLUTE "${_source}")
                    list(APPEND _files "${_rel}/${_source}")
                    list(APPEND _depends "${_dir}/${_source}")
                endif()
            endforeach()
        endif()
        _kestrel_layer_closure(${_lib} _closure)
        string(APPEND _text "set(KL_${_lib}_DIR \"${_rel}\")\n")
        string(APPEND _text "set(KL_${_lib}_SOURCES \"${_files}\")\n")
        string(APPEND _text "set(KL_${_lib}_BUILDS_ON \"${_closure}\")\n")
    endforeach()
    file(WRITE "${_manifest}" "${_text}")
    set(_stamp "${PROJECT_BINARY_DIR}/KestrelLayers.stamp")
    file(GLOB_RECURSE _headers CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/*.h")
    list(FILTER _headers EXCLUDE REGEX "/(build|tests|bench)/")
    add_custom_command(OUTPUT "${_stamp}"
        COMMAND ${CMAKE_COMMAND} -DMANIFEST=${_manifest} -DSTAMP=${_stamp}
            -P "${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake"
        DEPENDS "${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake" "${_manifest}" ${_depends}
            ${_headers}
        COMMENT "Checking that no library includes a library it does not build on"
        VERBATIM)
    add_custom_target(kestrel_layers ALL DEPENDS "${_stamp}")
    kestrel_forbid_links(kestrel_core Qt6::Widgets kestrel_sim kestrel_skin)
    kestrel_forbid_links(kestrel_control Qt6::Widgets kestrel_sim kestrel_skin)
endfunction()
