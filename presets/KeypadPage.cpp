#include "presets/KeypadPage.h"

// Any delta, not only one page: the remainder stays in 0-9.
void CKeypadPage::Turn(int nDelta) {
    m_nPage = ((m_nPage + nDelta) % kPages + kPages) % kPages;
}
