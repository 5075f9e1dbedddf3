# Dependencies of the enabled back-ends. A missing one is a configure error,
# never a silently dropped back-end.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg Sql Network DBus)

# kestrel_require_pkg(<option> <prefix> <module>...): pkg-config modules that
# the back-end switched on by <option> needs; imported as PkgConfig::<prefix>.
function(kestrel_require_pkg option prefix)
    if(NOT ${option})
        return()
    endif()
    pkg_check_modules(${prefix} IMPORTED_TARGET GLOBAL ${ARGN})
    if(NOT ${prefix}_FOUND)
        message(FATAL_ERROR
            "${option} is ON but its dependency (${ARGN}) was not found.\n"
            "Install it (scripts/install-deps.sh) or configure with -D${option}=OFF.")
    endif()
endfunction()

kestrel_require_pkg(KESTREL_WITH_UDEV UDEV libudev)
kestrel_require_pkg(KESTREL_WITH_ALSA ALSA alsa)
kestrel_require_pkg(KESTREL_WITH_GSTREAMER GST gstreamer-1.0>=1.22 gstreamer-pbutils-1.0
    gstreamer-app-1.0 gstreamer-audio-1.0)

if(KESTREL_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()

# liquid-dsp has no pkg-config file in Debian 12: found by header and library.
find_path(LIQUID_INCLUDE_DIR liquid/liquid.h)
find_library(LIQUID_LIBRARY liquid)
if(NOT LIQUID_INCLUDE_DIR OR NOT LIQUID_LIBRARY)
    message(FATAL_ERROR "liquid-dsp was not found (package libliquid-dev, scripts/install-deps.sh).")
endif()
add_library(Liquid::liquid UNKNOWN IMPORTED GLOBAL)
set_target_properties(Liquid::liquid PROPERTIES IMPORTED_LOCATION "${LIQUID_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${LIQUID_INCLUDE_DIR}")
pkg_check_modules(SOAPY IMPORTED_TARGET GLOBAL SoapySDR)
if(NOT SOAPY_FOUND)
    message(FATAL_ERROR "SoapySDR was not found (package libsoapysdr-dev, scripts/install-deps.sh).")
endif()
