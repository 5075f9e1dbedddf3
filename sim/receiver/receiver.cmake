list(APPEND sim_sources receiver/SimReceiver.cpp)
list(APPEND sim_deps kestrel_platform_hid kestrel_platform_trace Threads::Threads)
