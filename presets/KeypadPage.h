#pragma once

#include <string>

// Which block of ten presets the main window's keypad shows: page 0 holds
// slots 0-9, page 9 slots 90-99, and turning goes round.
class CKeypadPage {
public:
    static constexpr int kKeys = 10;
    static constexpr int kPages = 10;

    int Page() const { return m_nPage; }
    // One page on (nDelta 1: after 9 comes 0) or back (-1: before 0 comes 9).
    void Turn(int nDelta);
    // The preset slot of keypad key nKey (0-9) on this page.
    int Slot(int nKey) const { return nKey + kKeys * m_nPage; }
    // The caption of key nKey: its slot number.
    std::string Caption(int nKey) const { return std::to_string(Slot(nKey)); }
    std::string PageText() const { return std::to_string(m_nPage); }

private:
    int m_nPage = 0;
};
