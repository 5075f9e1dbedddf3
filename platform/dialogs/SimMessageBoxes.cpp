#include "platform/dialogs/SimMessageBoxes.h"

void CSimMessageBoxes::Show(CMessageTarget*, const std::string& text, const std::string& caption,
                            EIcon icon) {
    m_shown.push_back({text, caption, icon});
}
