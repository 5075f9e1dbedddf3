kestrel_add_library(kestrel_record_windows QT SOURCES PlayDlg.cpp
    DEPS kestrel_core kestrel_skin kestrel_platform_db kestrel_platform_dialogs
        kestrel_platform_trace Qt6::Widgets)
