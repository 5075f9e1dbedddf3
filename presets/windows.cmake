# The preset editor, a tool window of the main window.
kestrel_add_library(kestrel_presets_windows QT SOURCES ShortKeyDlg.cpp
    DEPS kestrel_core kestrel_presets kestrel_skin kestrel_platform_dialogs
        kestrel_platform_trace kestrel_platform_window Qt6::Widgets)
