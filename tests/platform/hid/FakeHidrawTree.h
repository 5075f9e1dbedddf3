#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/UniqueFd.h"
#include "tests/support/TempDir.h"

// Both ends of a pseudo-terminal in raw mode: the slave stands in for a
// hidraw node, the test plays the device on the master.
struct SFakeDeviceNode {
    CUniqueFd master;
    CUniqueFd slave;  // kept open so the master does not see a hang-up
};

// A sysfs tree (class/hidraw/hidrawN/device/{uevent,report_descriptor}) and a
// /dev folder in a temporary directory.
class CFakeHidrawTree {
public:
    // Vendor-defined, no report ids: 8 bytes in, 8 bytes out.
    static const std::vector<uint8_t> kReceiverDescriptor;
    // Keyboard (id 1: 8 bytes in, 1 out) and consumer control (id 2: 2 in).
    static const std::vector<uint8_t> kKeyboardDescriptor;

    static std::string Uevent(uint16_t nVendorID, uint16_t nProductID);

    std::filesystem::path SysfsRoot() const { return m_dir.Path() / "sys"; }
    std::filesystem::path DevRoot() const { return m_dir.Path() / "dev"; }
    std::string NodePath(unsigned n) const;

    // Adds hidrawN; its device node is a plain file until AttachTerminal().
    void AddNode(unsigned n, const std::string& uevent, const std::vector<uint8_t>& descriptor);
    // Makes hidrawN's device node the slave of a new pseudo-terminal.
    SFakeDeviceNode AttachTerminal(unsigned n);

    // Reads what arrived on fd within the time-out (empty when nothing did).
    static std::vector<uint8_t> ReadFrom(int fd, std::chrono::milliseconds timeout);

private:
    CTempDir m_dir;
};
