# Runs on the tests' core rig (the simulated hardware, a SQLite data source).
if(KESTREL_WITH_ODBC AND KESTREL_WITH_GSTREAMER)
    add_executable(close_bench CloseBench.cpp)
    target_link_libraries(close_bench PRIVATE kestrel_build_flags kestrel_app kestrel_sim
        kestrel_platform_db kestrel_platform_media kestrel_test_support Qt6::Widgets)
endif()
