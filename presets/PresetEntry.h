#pragma once

#include <cstdint>
#include <string>

// One keypad slot as the main window holds it: a copy of what the profile
// stores, never written back.
struct PresetEntry {
    unsigned nFrequency = 0;   // the 24-bit field: FM in 10 kHz, AM in kHz
    uint8_t nChannelFlag = 0;  // 0 or 1
    std::string strTitle;
};
