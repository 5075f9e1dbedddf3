if(KESTREL_WITH_GSTREAMER)
    add_executable(media_bench MediaBench.cpp)
    target_link_libraries(media_bench PRIVATE kestrel_build_flags kestrel_record
        kestrel_platform_media kestrel_platform_dialogs kestrel_platform_profile kestrel_sim
        kestrel_test_support)
    add_executable(free_space_bench FreeSpaceBench.cpp)
    target_link_libraries(free_space_bench PRIVATE kestrel_build_flags kestrel_platform_media
        kestrel_test_support)
endif()
