#include "platform/hid/HidReportDescriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

enum : uint8_t { ITEM_MAIN = 0, ITEM_GLOBAL = 1 };
enum : uint8_t { MAIN_INPUT = 0x8, MAIN_OUTPUT = 0x9 };
enum : uint8_t {
    GLOBAL_REPORT_SIZE = 0x7,
    GLOBAL_REPORT_ID = 0x8,
    GLOBAL_REPORT_COUNT = 0x9,
    GLOBAL_PUSH = 0xA,
    GLOBAL_POP = 0xB,
};
constexpr uint8_t kLongItem = 0xFE;
// The kernel allows 4 levels; a little more costs nothing and still stops a
// descriptor made of Push items from eating memory.
constexpr size_t kMaxPushDepth = 16;
constexpr uint64_t kMaxReportBits = 0xFFFFull * 8;

struct SGlobals {
    uint32_t nReportSize = 0;
    uint32_t nReportCount = 0;
    uint8_t nReportId = 0;
};

using BitsById = std::map<uint8_t, uint64_t>;

void AddBits(BitsById& reports, const SGlobals& globals) {
    uint64_t& bits = reports[globals.nReportId];
    const uint64_t added = uint64_t{globals.nReportSize} * globals.nReportCount;
    bits = std::min(bits + std::min(added, kMaxReportBits), kMaxReportBits);
}

// Windows counts the id byte whether or not the device numbers its reports.
uint16_t ByteLength(const BitsById& reports) {
    if (reports.empty()) {
        return 0;
    }
    uint64_t longest = 0;
    for (const auto& [id, bits] : reports) {
        longest = std::max(longest, (bits + 7) / 8);
    }
    return static_cast<uint16_t>(std::min<uint64_t>(longest + 1, 0xFFFF));
}

}  // namespace

SHidReportLayout CHidReportDescriptor::Parse(const uint8_t* data, size_t length) {
    SHidReportLayout layout;
    SGlobals globals;
    std::vector<SGlobals> stack;
    BitsById input;
    BitsById output;

    size_t i = 0;
    while (i < length) {
        const uint8_t prefix = data[i];
        if (prefix == kLongItem) {
            if (length - i < 3 || length - i - 3 < data[i + 1]) {
                layout.bWellFormed = false;
                break;
            }
            i += 3 + data[i + 1];
            continue;
        }
        const size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (length - i - 1 < size) {
            layout.bWellFormed = false;
            break;
        }
        uint32_t value = 0;
        for (size_t k = 0; k < size; ++k) {
            value |= uint32_t{data[i + 1 + k]} << (8 * k);
        }
        i += 1 + size;

        const uint8_t type = (prefix >> 2) & 3;
        const uint8_t tag = prefix >> 4;
        if (type == ITEM_MAIN) {
            if (tag == MAIN_INPUT) {
                AddBits(input, globals);
            } else if (tag == MAIN_OUTPUT) {
                AddBits(output, globals);
            }
            continue;
        }
        if (type != ITEM_GLOBAL) {
            continue;
        }
        switch (tag) {
            case GLOBAL_REPORT_SIZE:
                globals.nReportSize = value;
                break;
            case GLOBAL_REPORT_COUNT:
                globals.nReportCount = value;
                break;
            case GLOBAL_REPORT_ID:
                globals.nReportId = static_cast<uint8_t>(value);
                layout.bReportIds = true;
                break;
            case GLOBAL_PUSH:
                if (stack.size() < kMaxPushDepth) {
                    stack.push_back(globals);
                } else {
                    layout.bWellFormed = false;
                }
                break;
            case GLOBAL_POP:
                if (!stack.empty()) {
                    globals = stack.back();
                    stack.pop_back();
                } else {
                    layout.bWellFormed = false;
                }
                break;
            default:
                break;
        }
    }

    layout.caps.nInputReportByteLength = ByteLength(input);
    layout.caps.nOutputReportByteLength = ByteLength(output);
    return layout;
}
