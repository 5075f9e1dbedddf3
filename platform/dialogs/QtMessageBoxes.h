#pragma once

#include "platform/dialogs/MessageBoxes.h"

// Message boxes as QMessageBox, modal to the owner's window: the first widget
// among the owner's Qt parents, else the active window. Needs a QApplication.
class CQtMessageBoxes : public CMessageBoxes {
public:
    void Show(CMessageTarget* owner, const std::string& text, const std::string& caption,
              EIcon icon) override;
    bool Confirm(CMessageTarget* owner, const std::string& text, const std::string& caption,
                 const std::string& strConfirm, const std::string& strCancel) override;
};
