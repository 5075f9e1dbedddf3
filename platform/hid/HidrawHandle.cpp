#include "platform/hid/HidrawHandle.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "hidraw";

bool ParseHex(std::string_view text, uint32_t& value) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

CHidrawHandle::CHidrawHandle(CUniqueFd fd, std::filesystem::path sysfsEntry,
                             std::optional<SHidReportLayout> layout)
    : m_fd(std::move(fd)), m_sysfsEntry(std::move(sysfsEntry)), m_layout(layout) {}

bool CHidrawHandle::ParseUevent(const std::string& uevent, SHidAttributes& attributes) {
    std::istringstream lines(uevent);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("HID_ID=", 0) != 0) {
            continue;
        }
        // bus:vendor:product, hex
        std::string_view id = std::string_view(line).substr(7);
        const size_t first = id.find(':');
        const size_t second = first == id.npos ? id.npos : id.find(':', first + 1);
        if (second == id.npos) {
            return false;
        }
        uint32_t bus = 0;
        uint32_t vendor = 0;
        uint32_t product = 0;
        if (!ParseHex(id.substr(0, first), bus) ||
            !ParseHex(id.substr(first + 1, second - first - 1), vendor) ||
            !ParseHex(id.substr(second + 1), product) || vendor > 0xFFFF || product > 0xFFFF) {
            return false;
        }
        attributes.nVendorID = static_cast<uint16_t>(vendor);
        attributes.nProductID = static_cast<uint16_t>(product);
        return true;
    }
    return false;
}

bool CHidrawHandle::GetAttributes(SHidAttributes& attributes) {
    const std::filesystem::path file = m_sysfsEntry / "device" / "uevent";
    std::ifstream in(file);
    std::stringstream text;
    if (in) {
        text << in.rdbuf();
    }
    if (!in || !ParseUevent(text.str(), attributes)) {
        KestrelTrace(kTag, "no HID_ID in %s", file.c_str());
        return false;
    }
    return true;
}

bool CHidrawHandle::GetCaps(SHidCaps& caps) {
    if (!m_layout) {
        return false;
    }
    caps = m_layout->caps;
    return true;
}

long CHidrawHandle::Read(uint8_t* report, size_t length) {
    if (length < 2) {
        return -1;
    }
    // A device with report ids delivers the id itself; without, hidraw leaves
    // it out and byte 0 is ours to set.
    const bool bIds = m_layout && m_layout->bReportIds;
    uint8_t* target = bIds ? report : report + 1;
    const size_t wanted = bIds ? length : length - 1;
    ssize_t n;
    do {
        n = ::read(m_fd.Get(), target, wanted);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return -1;
    }
    if (!bIds) {
        report[0] = 0;
    }
    const size_t stored = static_cast<size_t>(n) + (bIds ? 0 : 1);
    if (stored < length) {
        std::memset(report + stored, 0, length - stored);
        KestrelTrace(kTag, "short input report from %s: %zu of %zu bytes, rest zeroed",
                     m_sysfsEntry.filename().c_str(), stored, length);
    }
    return static_cast<long>(stored);
}

bool CHidrawHandle::Write(const uint8_t* report, size_t length) {
    ssize_t n;
    do {
        n = ::write(m_fd.Get(), report, length);
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(length)) {
        KestrelTrace(kTag, "write to %s failed: %s", m_sysfsEntry.filename().c_str(),
                     n < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}
