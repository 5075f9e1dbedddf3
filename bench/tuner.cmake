foreach(bench TunerBench SeekBench)
    add_executable(${bench} ${bench}.cpp)
    target_link_libraries(${bench} PRIVATE kestrel_tuner kestrel_sim kestrel_platform_hid
        kestrel_test_support)
endforeach()
