#include "platform/dialogs/SimMessageBoxes.h"

void CSimMessageBoxes::Show(CMessageTarget*, const std::string& text, const std::string& caption,
                            EIcon icon) {
    m_shown.push_back({text, caption, icon});
}

bool CSimMessageBoxes::Confirm(CMessageTarget*, const std::string& text, const std::string& caption,
                               const std::string&, const std::string&) {
    m_questions.push_back({text, caption, EIcon::Warning});
    return m_bConfirm;
}
