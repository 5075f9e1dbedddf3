add_executable(tuner_bench TunerBench.cpp)
add_executable(seek_bench SeekBench.cpp)
foreach(bench tuner_bench seek_bench)
    target_link_libraries(${bench} PRIVATE kestrel_build_flags kestrel_tuner kestrel_sim
        kestrel_platform_hid kestrel_test_support)
endforeach()
