#pragma once

#include <string>
#include <vector>

// What sysfs says of the kernel's radio nodes: which there are, which USB
// device each belongs to, and the sound card on the same USB device.
// Reads a sysfs tree at a root ("/sys", or a test's own copy).
class CV4l2Sysfs {
public:
    explicit CV4l2Sysfs(std::string strRoot = "/sys") : m_strRoot(std::move(strRoot)) {}

    // "radio0", "radio20", in number order.
    std::vector<std::string> RadioNodes() const;
    // "usb:10c4:818a:<serial>" from the node's USB device (":" and no serial
    // when it has none); empty for a node without a USB parent.
    std::string UsbIdentity(const std::string& strNode) const;
    // "plughw:CARD=<id>,DEV=0" for the first sound card with a capture PCM
    // on the node's USB device; empty when there is none.
    std::string CaptureDevice(const std::string& strNode) const;
    // The driver's name for the node, readable without opening it.
    std::string Name(const std::string& strNode) const;

private:
    // The USB device directory above the node; empty without one.
    std::string UsbDeviceOf(const std::string& strNode) const;

    std::string m_strRoot;
};
