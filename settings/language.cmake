list(APPEND settings_sources LanguageTexts.cpp)
list(APPEND settings_deps kestrel_platform_trace)
