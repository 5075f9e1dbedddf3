list(APPEND sim_sources soundcard/SimSoundCard.cpp)
list(APPEND sim_deps kestrel_platform_mixer)
