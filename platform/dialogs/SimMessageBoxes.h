#pragma once

#include <string>
#include <vector>

#include "platform/dialogs/MessageBoxes.h"

struct SShownMessageBox {
    std::string text;
    std::string caption;
    CMessageBoxes::EIcon icon;
};

// Records every box instead of showing it.
class CSimMessageBoxes : public CMessageBoxes {
public:
    void Show(CMessageTarget* owner, const std::string& text, const std::string& caption,
              EIcon icon) override;

    // Recorded among the questions; answered as SetConfirm() says (yes by
    // default).
    bool Confirm(CMessageTarget* owner, const std::string& text, const std::string& caption,
                 const std::string& strConfirm, const std::string& strCancel) override;

    const std::vector<SShownMessageBox>& Shown() const { return m_shown; }
    void Clear() { m_shown.clear(); }
    void SetConfirm(bool bConfirm) { m_bConfirm = bConfirm; }
    const std::vector<SShownMessageBox>& Questions() const { return m_questions; }

private:
    std::vector<SShownMessageBox> m_shown;
    std::vector<SShownMessageBox> m_questions;
    bool m_bConfirm = true;
};
