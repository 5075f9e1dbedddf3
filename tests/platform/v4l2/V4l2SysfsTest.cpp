#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/v4l2/LinuxV4l2Radio.h"
#include "platform/v4l2/LinuxV4l2Services.h"
#include "platform/v4l2/V4l2Sysfs.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& strText) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << strText << "\n";
}

// A sysfs tree as the kernel makes it for a Si470x stick on USB port 1-2:
// the radio on interface 1-2:1.2, its sound card on 1-2:1.1, and a second
// radio (vivid's) with no USB device at all.
class V4l2SysfsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path root = m_dir.Path();
        const fs::path usb = root / "devices/pci0000:00/0000:00:14.0/usb1/1-2";
        Write(usb / "idVendor", "10c4");
        Write(usb / "idProduct", "818a");
        Write(usb / "serial", "A1B2");
        fs::create_directories(usb / "1-2:1.2/video4linux/radio3");
        Write(usb / "1-2:1.1/sound/card2/id", "Si470x");
        fs::create_directories(usb / "1-2:1.1/sound/card2/pcmC2D0c");
        fs::create_directories(root / "devices/platform/vivid.0/video4linux/radio20");
        fs::create_directories(root / "class/video4linux");
        Link("class/video4linux/radio3",
             "../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.2/video4linux/radio3");
        Link("class/video4linux/radio20", "../../devices/platform/vivid.0/video4linux/radio20");
        Link("class/video4linux/video0", "../../devices/platform/vivid.0/video4linux/radio20");
        fs::create_directory_symlink("../../../1-2:1.2", usb / "1-2:1.2/video4linux/radio3/device");
        fs::create_directory_symlink("../../../vivid.0",
                                     root / "devices/platform/vivid.0/video4linux/radio20/device");
    }
    void Link(const std::string& strFrom, const std::string& strTo) {
        fs::create_directory_symlink(strTo, fs::path(m_dir.Path()) / strFrom);
    }

    CTempDir m_dir;
};

}  // namespace

TEST_F(V4l2SysfsTest, ARadioIsKnownByItsUsbDeviceAndPairedWithItsSoundCard) {
    const CV4l2Sysfs sysfs(m_dir.Path());
    EXPECT_EQ(sysfs.RadioNodes(), (std::vector<std::string>{"radio3", "radio20"}));
    EXPECT_EQ(sysfs.UsbIdentity("radio3"), "usb:10c4:818a:A1B2");
    EXPECT_EQ(sysfs.CaptureDevice("radio3"), "plughw:CARD=Si470x,DEV=0");
    // Not on USB: no identity of its own, no sound card.
    EXPECT_EQ(sysfs.UsbIdentity("radio20"), "");
    EXPECT_EQ(sysfs.CaptureDevice("radio20"), "");
    EXPECT_EQ(sysfs.UsbIdentity("radio99"), "");
}

TEST(LinuxV4l2RadioTest, WhatIsNoRadioIsRefusedWithTheReason) {
    std::string strWhy;
    EXPECT_EQ(CLinuxV4l2Radio::Open("/dev/null", strWhy), nullptr);
    EXPECT_NE(strWhy.find("VIDIOC_QUERYCAP"), std::string::npos) << strWhy;
    EXPECT_EQ(CLinuxV4l2Radio::Open("/nonexistent/radio0", strWhy), nullptr);
    EXPECT_NE(strWhy.find("No such file"), std::string::npos) << strWhy;

    // An empty sysfs lists no radio.
    CTempDir dir;
    CLinuxV4l2Services services(dir.Path(), dir.Path());
    EXPECT_TRUE(services.Enumerate().empty());
}
