# cmake -DMANIFEST=<file> -DSTAMP=<file> -P CheckLayers.cmake: fails when a
cmake_minimum_required(VERSION 3.25)
# source or header of one of Kestrel's libraries includes a header of a
# library it does not build on (KestrelLayers.cmake writes the manifest).
include("${MANIFEST}")

# Who owns each file: a source its library; a header the library that builds
# its source of the same name, or else the first library of its folder.
foreach(_lib IN LISTS KL_LIBS)
    foreach(_source IN LISTS KL_${_lib}_SOURCES)
        string(REGEX REPLACE "\\.cpp$" "" _stem "${_source}")
        set(_owner_${_stem} ${_lib})
    endforeach()
    set(_dir "${KL_${_lib}_DIR}")
    if(NOT DEFINED _folder_${_dir})
        set(_folder_${_dir} ${_lib})
    endif()
endforeach()

function(_owner path out)
    string(REGEX REPLACE "\\.(h|cpp)$" "" _stem "${path}")
    if(DEFINED _owner_${_stem})
        set(${out} ${_owner_${_stem}} PARENT_SCOPE)
        return()
    endif()
    # A source no library builds belongs to a program or a tool.
    if(path MATCHES "\\.cpp$")
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    get_filename_component(_dir "${path}" DIRECTORY)
    while(_dir)
        if(DEFINED _folder_${_dir})
            set(${out} ${_folder_${_dir}} PARENT_SCOPE)
            return()
        endif()
        get_filename_component(_dir "${_dir}" DIRECTORY)
    endwhile()
    set(${out} "" PARENT_SCOPE)
endfunction()

set(_faults)
file(GLOB_RECURSE _files RELATIVE "${KL_SOURCE_DIR}" "${KL_SOURCE_DIR}/*.h"
    "${KL_SOURCE_DIR}/*.cpp")
list(FILTER _files EXCLUDE REGEX "^(build|tests|bench)/")
foreach(_file IN LISTS _files)
    _owner("${_file}" _lib)
    if(NOT _lib)
        continue()  # the program's main, tools: no library
    endif()
    file(STRINGS "${KL_SOURCE_DIR}/${_file}" _includes REGEX "^#include \"[^\"]+\"")
    foreach(_line IN LISTS _includes)
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" _header "${_line}")
        if(NOT EXISTS "${KL_SOURCE_DIR}/${_header}")
            continue()  # generated, or outside the tree
        endif()
        _owner("${_header}" _other)
        if(NOT _other OR _other STREQUAL _lib OR _other IN_LIST KL_${_lib}_BUILDS_ON)
            continue()
        endif()
        list(APPEND _faults "${_file} (${_lib}) includes ${_header} (${_other}), which ${_lib} does not build on")
    endforeach()
endforeach()

if(_faults)
    list(JOIN _faults "\n  " _text)
    message(FATAL_ERROR "A library reaches past the layers it builds on:\n  ${_text}")
endif()
file(WRITE "${STAMP}" "")
