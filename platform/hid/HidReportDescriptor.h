#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/hid/HidServices.h"

// What the device link needs to know of a HID report descriptor: the longest
// input and output report, and whether reports carry an id byte.
struct SHidReportLayout {
    SHidCaps caps;            // lengths as Windows counts them (id byte included)
    bool bReportIds = false;  // the device prefixes every report with its id
    bool bWellFormed = true;  // false: the descriptor was cut short or broken
};

// Parses HID short items (Report Size, Report Count, Report ID, Push, Pop and
// the Input and Output main items); long items are skipped. Never reads past
// the end of the data, whatever it holds.
class CHidReportDescriptor {
public:
    static SHidReportLayout Parse(const uint8_t* data, size_t length);
};
