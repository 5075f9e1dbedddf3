# Runs on the tests' core rig (the simulated hardware, a SQLite data source).
if(KESTREL_WITH_ODBC AND KESTREL_WITH_GSTREAMER)
    add_executable(close_bench CloseBench.cpp)
    target_link_libraries(close_bench PRIVATE kestrel_build_flags kestrel_app kestrel_sim
        kestrel_platform_db kestrel_platform_media kestrel_test_support Qt6::Widgets)
endif()
# Runs on the remote control tests' rig and a private bus of its own.
if(KESTREL_WITH_ODBC AND KESTREL_WITH_GSTREAMER AND KESTREL_BUILD_TESTS)
    find_program(KESTREL_BENCH_DBUS_DAEMON dbus-daemon REQUIRED)
    add_executable(notice_latency_bench NoticeLatencyBench.cpp
        ${PROJECT_SOURCE_DIR}/tests/platform/desktop/PrivateBus.cpp)
    set_target_properties(notice_latency_bench PROPERTIES AUTOMOC ON)
    target_link_libraries(notice_latency_bench PRIVATE kestrel_build_flags kestrel_app
        kestrel_control kestrel_sim kestrel_platform_db kestrel_platform_media
        kestrel_test_support Qt6::Widgets Qt6::DBus)
    target_compile_definitions(notice_latency_bench PRIVATE
        KESTREL_DBUS_DAEMON="${KESTREL_BENCH_DBUS_DAEMON}")
endif()
