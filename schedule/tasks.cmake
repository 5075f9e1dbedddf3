list(APPEND schedule_sources TaskSet.cpp)
list(APPEND schedule_deps kestrel_platform_db)
