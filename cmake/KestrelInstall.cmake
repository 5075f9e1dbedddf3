# Where an installed Kestrel keeps its files (GNUInstallDirs), and the
# generated header that tells the program its version, its application id
# and its data folder.
include(GNUInstallDirs)

set(KESTREL_APPLICATION_ID "io.github.kestrelradio.Kestrel")
# The language file and the other shared data: share/kestrel.
set(KESTREL_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/kestrel")
# udev reads /usr/lib/udev/rules.d (and /usr/local/lib/...): never the
# multiarch library folder.
set(KESTREL_INSTALL_UDEVRULESDIR "lib/udev/rules.d")

# The data folder as seen from the program's folder, so that a tree installed
# under another prefix (or moved) still finds it.
cmake_path(APPEND CMAKE_INSTALL_PREFIX "${KESTREL_INSTALL_DATADIR}"
    OUTPUT_VARIABLE _kestrel_full_datadir)
cmake_path(APPEND CMAKE_INSTALL_PREFIX "${CMAKE_INSTALL_BINDIR}"
    OUTPUT_VARIABLE _kestrel_full_bindir)
file(RELATIVE_PATH KESTREL_DATADIR_FROM_BINDIR "${_kestrel_full_bindir}"
    "${_kestrel_full_datadir}")
set(KESTREL_FULL_DATADIR "${_kestrel_full_datadir}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildInfo.h.in
    ${PROJECT_BINARY_DIR}/generated/BuildInfo.h @ONLY)
target_include_directories(kestrel_build_flags INTERFACE ${PROJECT_BINARY_DIR})
