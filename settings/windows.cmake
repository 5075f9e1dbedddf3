# The options window.
kestrel_add_library(kestrel_settings_windows QT SOURCES OptionDlg.cpp
    DEPS kestrel_core kestrel_skin Qt6::Widgets)
