#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/hid/HidServices.h"

// HID interfaces on Linux hidraw: enumerated from <sysfs>/class/hidraw, opened
// as <dev>/hidrawN. The roots are parameters so that tests can lay out a fake
// tree; a user's desktop uses /sys and /dev.
class CHidrawServices : public CHidServices {
public:
    explicit CHidrawServices(std::filesystem::path sysfsRoot = "/sys",
                             std::filesystem::path devRoot = "/dev");

    // <dev>/hidrawN paths in the natural order of N.
    std::vector<std::string> EnumerateInterfaces() override;
    std::unique_ptr<CHidHandle> Open(const std::string& path) override;

private:
    std::filesystem::path m_classDir;
    std::filesystem::path m_devRoot;
};
