#include "tests/platform/hid/FakeHidrawTree.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

// Usage Page (Vendor), Collection; Report Size 8, Report Count 8, Input;
// Report Count 8, Output; End Collection.
const std::vector<uint8_t> CFakeHidrawTree::kReceiverDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
    0x95, 0x08, 0x09, 0x01, 0x81, 0x02, 0x95, 0x08, 0x09, 0x01, 0x91, 0x02, 0xC0};

// The common boot keyboard with Report ID 1 (8 modifier bits, a reserved
// byte, 6 key bytes in; 5 LED bits and 3 padding bits out), then a consumer
// control collection with Report ID 2 (one 16-bit usage in).
const std::vector<uint8_t> CFakeHidrawTree::kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
    0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75,
    0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00,
    0x29, 0x65, 0x81, 0x00, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00,
    0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};

std::string CFakeHidrawTree::Uevent(uint16_t nVendorID, uint16_t nProductID) {
    char text[256];
    std::snprintf(text, sizeof(text),
                  "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\nHID_NAME=Test Device\n"
                  "HID_PHYS=usb-0000:00:14.0-2/input0\nHID_UNIQ=\n",
                  nVendorID, nProductID);
    return text;
}

std::string CFakeHidrawTree::NodePath(unsigned n) const {
    return (DevRoot() / ("hidraw" + std::to_string(n))).string();
}

void CFakeHidrawTree::AddNode(unsigned n, const std::string& uevent,
                              const std::vector<uint8_t>& descriptor) {
    const auto device =
        SysfsRoot() / "class" / "hidraw" / ("hidraw" + std::to_string(n)) / "device";
    std::filesystem::create_directories(device);
    std::filesystem::create_directories(DevRoot());
    std::ofstream(device / "uevent") << uevent;
    std::ofstream(device / "report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(descriptor.data()),
               static_cast<std::streamsize>(descriptor.size()));
    std::ofstream(NodePath(n)) << "";
}

SFakeDeviceNode CFakeHidrawTree::AttachTerminal(unsigned n) {
    SFakeDeviceNode node;
    node.master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!node.master.IsValid() || ::grantpt(node.master.Get()) != 0 ||
        ::unlockpt(node.master.Get()) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slavePath = ::ptsname(node.master.Get());
    node.slave.Reset(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios raw{};
    ::tcgetattr(node.slave.Get(), &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(node.slave.Get(), TCSANOW, &raw);
    std::filesystem::remove(NodePath(n));
    std::filesystem::create_symlink(slavePath, NodePath(n));
    return node;
}

std::vector<uint8_t> CFakeHidrawTree::ReadFrom(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1 || !(p.revents & POLLIN)) {
        return {};
    }
    std::vector<uint8_t> bytes(256);
    const ssize_t n = ::read(fd, bytes.data(), bytes.size());
    bytes.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return bytes;
}
