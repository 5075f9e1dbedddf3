# Needs the end-to-end suite's helpers (built with the tests).
if(TARGET kestrel_e2e_support)
    add_executable(scheduled_start_bench ScheduledStartBench.cpp)
    target_link_libraries(scheduled_start_bench PRIVATE kestrel_build_flags kestrel_e2e_support
        kestrel_test_support)
    target_compile_definitions(scheduled_start_bench PRIVATE
        KESTREL_PROGRAM="$<TARGET_FILE:kestrel>")
    add_dependencies(scheduled_start_bench kestrel)
endif()
