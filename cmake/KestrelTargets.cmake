# Shared compile settings and the helpers every subsystem folder uses.

add_library(kestrel_build_flags INTERFACE)
target_compile_options(kestrel_build_flags INTERFACE
    -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
target_include_directories(kestrel_build_flags INTERFACE ${PROJECT_SOURCE_DIR})
if(KESTREL_WERROR)
    target_compile_options(kestrel_build_flags INTERFACE -Werror)
endif()
# The diagnostic trace is compiled into every build; platform/trace decides
# whether it reaches standard error.
target_compile_definitions(kestrel_build_flags INTERFACE QT_NO_KEYWORDS KESTREL_TRACE=1)

if(KESTREL_SANITIZE)
    string(REPLACE "," ";" _kestrel_sanitizers "${KESTREL_SANITIZE}")
    string(REPLACE ";" "," _kestrel_sanitize_flag "${_kestrel_sanitizers}")
    add_compile_options(-fsanitize=${_kestrel_sanitize_flag} -fno-omit-frame-pointer
        -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_kestrel_sanitize_flag})
endif()

# kestrel_add_library(<name> [QT] SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per subsystem folder; the program and the tests link it.
# QT runs moc over the sources (classes with Q_OBJECT).
function(kestrel_add_library name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC kestrel_build_flags ${ARG_DEPS}
        PRIVATE ${ARG_PRIVATE_DEPS})
    set_property(GLOBAL APPEND PROPERTY KESTREL_LIBRARIES ${name})
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
endfunction()

# kestrel_add_test(<name> LABELS <subsystem> [threads] [system]... SOURCES ...
#                  [DEPS ...] [QT] [TIMEOUT s])
# QT links the QApplication test main and runs on Qt's offscreen platform.
# A test labelled 'threads' is also built in the ThreadSanitizer folder.
function(kestrel_add_test name)
    cmake_parse_arguments(ARG "QT" "TIMEOUT" "LABELS;SOURCES;DEPS" ${ARGN})
    if(KESTREL_THREADS_ONLY AND NOT "threads" IN_LIST ARG_LABELS)
        return()
    endif()
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_QT)
        set(_main kestrel_qt_test_main)
    else()
        set(_main kestrel_test_main)
    endif()
    target_link_libraries(${name} PRIVATE kestrel_build_flags ${ARG_DEPS} ${_main}
        GTest::gtest GTest::gmock)
    if(ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC ON)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KESTREL_SOURCE_DIR=${PROJECT_SOURCE_DIR};KESTREL_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
