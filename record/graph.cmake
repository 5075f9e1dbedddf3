list(APPEND record_sources AudioGraph.cpp)
list(APPEND record_deps kestrel_platform_media kestrel_platform_dialogs kestrel_platform_profile
    kestrel_platform_trace kestrel_settings)
