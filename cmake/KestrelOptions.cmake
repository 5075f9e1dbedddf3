# Build switches. Every back-end is on by default; a back-end that is on and
# whose dependency is missing stops the configure step (KestrelDependencies).
option(KESTREL_BUILD_TESTS "Build the GoogleTest suites" ON)
option(KESTREL_BUILD_BENCH "Build the benchmarks under bench/" ON)
option(KESTREL_WITH_HIDRAW "Linux hidraw back-end for the receiver" ON)
option(KESTREL_WITH_UDEV "libudev device-change notices" ON)
option(KESTREL_WITH_ALSA "ALSA back-end for the sound card mixer" ON)
option(KESTREL_WITH_GSTREAMER "GStreamer back-end for recording and playback" ON)
option(KESTREL_WITH_ODBC "unixODBC back-end (Qt SQL ODBC driver) for the tables" ON)
option(KESTREL_WITH_ATD "at daemon back-end for scheduled recordings" ON)
set(KESTREL_SANITIZE "" CACHE STRING
    "Comma-separated sanitizers for this build folder (address,undefined or thread)")
option(KESTREL_WERROR "Treat compiler warnings as errors (the test command sets it)" OFF)
option(KESTREL_THREADS_ONLY
    "Build only the test suites labelled 'threads' (for the ThreadSanitizer folder)" OFF)
