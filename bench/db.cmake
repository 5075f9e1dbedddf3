if(KESTREL_WITH_ODBC)
    add_executable(db_bench DbBench.cpp)
    target_link_libraries(db_bench PRIVATE kestrel_build_flags kestrel_record kestrel_schedule
        kestrel_platform_db)
endif()
