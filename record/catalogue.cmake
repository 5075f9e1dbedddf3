list(APPEND record_sources FileListSet.cpp)
list(APPEND record_deps kestrel_platform_db)
