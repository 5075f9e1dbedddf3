kestrel_add_library(kestrel_schedule_windows QT SOURCES NewTaskDlg.cpp TaskListDlg.cpp
    DEPS kestrel_core kestrel_presets kestrel_skin Qt6::Widgets)
