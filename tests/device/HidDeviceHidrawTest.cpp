#include <unistd.h>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "device/HidDevice.h"
#include "platform/hid/HidrawServices.h"
#include "platform/window/SimMessageTarget.h"
#include "tests/platform/hid/FakeHidrawTree.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// The whole link on the Linux back-end, a pseudo-terminal playing the receiver.
TEST(HidDeviceHidrawTest, TalksToTheReceiverThroughItsNode) {
    CFakeHidrawTree tree;
    tree.AddNode(0, CFakeHidrawTree::Uevent(0x046D, 0xC31C), CFakeHidrawTree::kKeyboardDescriptor);
    tree.AddNode(1, CFakeHidrawTree::Uevent(0x03B4, 0x3113), CFakeHidrawTree::kReceiverDescriptor);
    SFakeDeviceNode receiver = tree.AttachTerminal(1);
    CHidrawServices services(tree.SysfsRoot(), tree.DevRoot());
    CSimMessageTarget window;
    CHidDevice device(services);

    EXPECT_EQ(device.CountDevices(), 1);
    ASSERT_TRUE(device.Open(&window, WM_DEVICE_REPORT));
    ASSERT_EQ(device.OutputReportLength(), 9u);

    const Bytes image = {0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10};
    ASSERT_TRUE(device.SetOutputReport(image.data(), image.size()));
    ASSERT_TRUE(device.Send());
    Bytes expected(image.size() + 1, 0x00);  // report id 0, then the payload
    std::copy(image.begin(), image.end(), expected.begin() + 1);
    EXPECT_EQ(CFakeHidrawTree::ReadFrom(receiver.master.Get(), 2s), expected);

    const Bytes answer = {0x40, 0xA7, 0x30, 0, 0, 0, 0, 0};  // stereo bit set, count 10700
    ASSERT_EQ(::write(receiver.master.Get(), answer.data(), answer.size()), 8);
    ASSERT_TRUE(window.WaitFor(WM_DEVICE_REPORT, 1, 2000));
    Bytes input(4);
    for (int tries = 0; tries < 200 && input[1] != 0x40; ++tries) {
        ASSERT_TRUE(device.ReadInputReport(input.data(), input.size()));
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(input, (Bytes{0x00, 0x40, 0xA7, 0x30}));
    device.Close();
}

}  // namespace
