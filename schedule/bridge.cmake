list(APPEND schedule_sources ScheduleBridge.cpp)
list(APPEND schedule_deps kestrel_platform_scheduler)
