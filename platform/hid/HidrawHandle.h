#pragma once

#include <filesystem>
#include <optional>

#include "platform/hid/HidReportDescriptor.h"
#include "platform/hid/HidServices.h"
#include "platform/posix/UniqueFd.h"

// One open hidraw node. Attributes come from the device's uevent, report
// lengths from its report descriptor (both in sysfs). hidraw leaves the id
// byte out of the reports of a device without report ids; this handle puts a
// 0 in front so that callers always find the id in byte 0.
class CHidrawHandle : public CHidHandle {
public:
    // sysfsEntry is <sysfs>/class/hidraw/hidrawN; layout is empty when the
    // report descriptor could not be read.
    CHidrawHandle(CUniqueFd fd, std::filesystem::path sysfsEntry,
                  std::optional<SHidReportLayout> layout);

    bool GetAttributes(SHidAttributes& attributes) override;
    bool GetCaps(SHidCaps& caps) override;
    int PollFd() const override { return m_fd.Get(); }
    long Read(uint8_t* report, size_t length) override;
    bool Write(const uint8_t* report, size_t length) override;

    // Parses the HID_ID line of a uevent file ("HID_ID=0003:000003B4:00003113").
    static bool ParseUevent(const std::string& uevent, SHidAttributes& attributes);

private:
    CUniqueFd m_fd;
    std::filesystem::path m_sysfsEntry;
    std::optional<SHidReportLayout> m_layout;
};
