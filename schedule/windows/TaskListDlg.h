#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "schedule/ScheduleBridge.h"
#include "schedule/TaskConflicts.h"
#include "skin/Dialog.h"

class CRadioCore;
class QTreeWidget;
class QTreeWidgetItem;
struct STaskOutcome;
struct STaskRule;

// The scheduled recordings, earliest begin first (template 138, skin
// "TaskListWin"), with how each that has run ended and how it repeats (a
// repeating task's row is its next occurrence): New opens the new task
// dialog and refills the list when it stored a task; Edit and Duplicate
// open it on the selected task, to replace it or to add a copy; Disable and
// Enable take its work item away and give it back; Delete removes the
// selected task's row, its rule, its work item and its outcome.
// A tool window of the main window, docked to its top-right corner.
//
// UI thread only. The core must outlive the window.
class CTaskListDlg : public CDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 138;
    enum : int {
        IDC_NEW = 1014,
        IDC_EDIT = 1015,
        IDC_COPY = 1016,
        IDC_ENABLE = 1017,
        IDC_LIST = 1042,
        IDC_DELETE = 1045,
        IDC_TITLE = 1059,
    };
    static constexpr int kRepeatColumn = 5;

    CTaskListDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent = nullptr);

    void FillList();
    void OnNew();
    void OnEdit();
    void OnCopy();
    void OnEnable();
    void OnDelete();

    QTreeWidget* List() const;

    // Column texts of a task.
    static std::string StationText(std::uint32_t nWord);
    static std::string BeginText(std::time_t begin);
    // The span within one day: 25 hours show as 01:00:00.
    static std::string DurationText(std::time_t begin, std::time_t end);

    CScheduleBridge m_bridge;
    CRadioCore* const m_pCore;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void moveEvent(QMoveEvent* pEvent) override;

private:
    void SetTexts();
    void SetUpColumns();
    void ShowOutcome(QTreeWidgetItem& item, const STaskOutcome& outcome) const;
    void ShowHistory(QTreeWidgetItem& item, const std::vector<STaskOutcome>& history) const;
    void ShowConflicts(const std::vector<CTaskConflicts::STask>& tasks);
    // How a task repeats, in the language's words; empty for a plain one.
    std::string RepeatText(const STaskRule& rule) const;
    int SelectedTask() const;
    // The new task dialog on a task; refills the list when it stored one.
    void OpenOn(int nTask, bool bReplace);
    // The enable button says what it does to the selected task.
    void ShowSelection();
};
