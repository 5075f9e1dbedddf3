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

    const std::vector<SShownMessageBox>& Shown() const { return m_shown; }
    void Clear() { m_shown.clear(); }

private:
    std::vector<SShownMessageBox> m_shown;
};
