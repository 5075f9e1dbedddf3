#include "app/ToolWindows.h"

#include "app/RadioDlg.h"
#include "presets/windows/ShortKeyDlg.h"
#include "record/windows/PlayDlg.h"
#include "schedule/windows/TaskListDlg.h"
#include "settings/windows/OptionDlg.h"

namespace {

// The window is a child of the main window's tree until it frees itself.
template <class TWindow>
TWindow* Make(CRadioDlg& owner) {
    auto* pWindow = new TWindow(&owner.Core(), owner.SkinEngine(), &owner);
    pWindow->setWindowFlag(Qt::Tool);
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    if (!pWindow->Create()) {
        pWindow->deleteLater();
        return nullptr;
    }
    pWindow->show();
    return pWindow;
}

}  // namespace

CDialog* CreateToolWindow(CRadioDlg& owner, int nButton) {
    switch (nButton) {
        case CRadioDlg::IDC_OPTIONS:
            return Make<COptionDlg>(owner);
        case CRadioDlg::IDC_PLAYER:
            if (CPlayDlg* pPlayer = Make<CPlayDlg>(owner)) {
                pPlayer->FillList();
                QObject::connect(&owner, &CRadioDlg::RecordingsChanged, pPlayer,
                                 &CPlayDlg::FillList);
                return pPlayer;
            }
            return nullptr;
        case CRadioDlg::IDC_SHORT_KEYS:
            if (CShortKeyDlg* pShortKeys = Make<CShortKeyDlg>(owner)) {
                pShortKeys->SetPageSource([&owner] { return owner.PresetPage(); });
                return pShortKeys;
            }
            return nullptr;
        case CRadioDlg::IDC_TASK_LIST:
            return Make<CTaskListDlg>(owner);
        default:
            return nullptr;
    }
}
