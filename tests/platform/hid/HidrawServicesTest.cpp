#include "platform/hid/HidrawServices.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/hid/HidReportDescriptor.h"
#include "platform/hid/HidrawHandle.h"
#include "tests/platform/hid/FakeHidrawTree.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

SHidReportLayout Parse(const Bytes& descriptor) {
    return CHidReportDescriptor::Parse(descriptor.data(), descriptor.size());
}

class HidrawServicesTest : public testing::Test {
protected:
    CFakeHidrawTree m_tree;
    CHidrawServices m_services{m_tree.SysfsRoot(), m_tree.DevRoot()};
};

TEST_F(HidrawServicesTest, EnumeratesNodesInNaturalOrderWithTheirIds) {
    m_tree.AddNode(10, CFakeHidrawTree::Uevent(0x03B4, 0x3113),
                   CFakeHidrawTree::kReceiverDescriptor);
    m_tree.AddNode(2, CFakeHidrawTree::Uevent(0x046D, 0xC31C),
                   CFakeHidrawTree::kKeyboardDescriptor);
    m_tree.AddNode(0, CFakeHidrawTree::Uevent(0x03B4, 0x3114),
                   CFakeHidrawTree::kReceiverDescriptor);
    std::filesystem::create_directories(m_tree.SysfsRoot() / "class/hidraw/hidrawX");
    std::filesystem::create_directories(m_tree.SysfsRoot() / "class/hidraw/event3");

    const std::vector<std::string> paths = m_services.EnumerateInterfaces();
    ASSERT_EQ(paths, (std::vector<std::string>{m_tree.NodePath(0), m_tree.NodePath(2),
                                               m_tree.NodePath(10)}));

    const std::pair<uint16_t, uint16_t> expected[] = {
        {0x03B4, 0x3114}, {0x046D, 0xC31C}, {0x03B4, 0x3113}};
    for (size_t i = 0; i < paths.size(); ++i) {
        auto handle = m_services.Open(paths[i]);
        ASSERT_TRUE(handle) << paths[i];
        SHidAttributes attributes;
        ASSERT_TRUE(handle->GetAttributes(attributes));
        EXPECT_EQ(attributes.nVendorID, expected[i].first);
        EXPECT_EQ(attributes.nProductID, expected[i].second);
    }
}

TEST_F(HidrawServicesTest, MissingOrDamagedEntriesNeverMatch) {
    EXPECT_TRUE(m_services.EnumerateInterfaces().empty());  // no class folder at all

    m_tree.AddNode(0, "DRIVER=hid-generic\nHID_NAME=No id\n", CFakeHidrawTree::kReceiverDescriptor);
    m_tree.AddNode(1, "HID_ID=0003:000003B4\n", CFakeHidrawTree::kReceiverDescriptor);
    m_tree.AddNode(2, "HID_ID=0003:1003B4:00003113\n", CFakeHidrawTree::kReceiverDescriptor);
    m_tree.AddNode(3, "HID_ID=0003:0000ZZB4:00003113\n", CFakeHidrawTree::kReceiverDescriptor);
    for (const std::string& path : m_services.EnumerateInterfaces()) {
        auto handle = m_services.Open(path);
        ASSERT_TRUE(handle);
        SHidAttributes attributes;
        EXPECT_FALSE(handle->GetAttributes(attributes)) << path;
    }

    // Listed in sysfs but its node is gone: cannot be opened.
    std::filesystem::remove(m_tree.NodePath(3));
    EXPECT_EQ(m_services.Open(m_tree.NodePath(3)), nullptr);
}

TEST(HidReportDescriptorTest, CountsReportLengthsAsWindowsDoes) {
    SHidReportLayout plain = Parse(CFakeHidrawTree::kReceiverDescriptor);
    EXPECT_FALSE(plain.bReportIds);
    EXPECT_TRUE(plain.bWellFormed);
    EXPECT_EQ(plain.caps.nInputReportByteLength, 9);
    EXPECT_EQ(plain.caps.nOutputReportByteLength, 9);

    // With ids: the longest report of each kind plus the id byte.
    SHidReportLayout numbered = Parse(CFakeHidrawTree::kKeyboardDescriptor);
    EXPECT_TRUE(numbered.bReportIds);
    EXPECT_EQ(numbered.caps.nInputReportByteLength, 9);
    EXPECT_EQ(numbered.caps.nOutputReportByteLength, 2);

    // Push and Pop restore size and count; a long item is skipped whole.
    SHidReportLayout pushed = Parse({
        0x75, 0x08, 0x95, 0x04,        // 4 x 8 bits
        0xA4,                          // Push
        0x75, 0x10, 0x95, 0x10,        // 16 x 16 bits
        0x91, 0x02,                    // Output: 32 bytes
        0xB4,                          // Pop
        0xFE, 0x02, 0x10, 0x81, 0x02,  // long item whose data looks like Input
        0x81, 0x02,                    // Input: 4 bytes
    });
    EXPECT_TRUE(pushed.bWellFormed);
    EXPECT_EQ(pushed.caps.nInputReportByteLength, 5);
    EXPECT_EQ(pushed.caps.nOutputReportByteLength, 33);

    // No Input item: no input report at all.
    EXPECT_EQ(Parse({0x75, 0x08, 0x95, 0x08, 0x91, 0x02}).caps.nInputReportByteLength, 0);
}

TEST(HidReportDescriptorTest, GarbageIsBoundedAndNeverReadPastTheEnd) {
    EXPECT_FALSE(Parse({0x75, 0x08, 0x96, 0x01}).bWellFormed);        // 2-byte count cut short
    EXPECT_FALSE(Parse({0x81, 0x02, 0xFE, 0x20, 0x00}).bWellFormed);  // long item past the end
    EXPECT_FALSE(Parse({0xFE}).bWellFormed);
    EXPECT_FALSE(Parse({0xB4, 0x81, 0x02}).bWellFormed);  // Pop with nothing pushed
    EXPECT_FALSE(Parse(Bytes(1000, 0xA4)).bWellFormed);   // endless Push

    // Huge sizes and counts are clamped to what a length field holds.
    SHidReportLayout huge =
        Parse({0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02});
    EXPECT_EQ(huge.caps.nInputReportByteLength, 0xFFFF);

    // Random junk of every length: each parse must stay inside its buffer
    // (the sanitizer builds check that).
    uint32_t seed = 12345;
    for (size_t length = 0; length < 600; ++length) {
        Bytes junk(length);
        for (uint8_t& byte : junk) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<uint8_t>(seed >> 16);
        }
        Parse(junk);
    }
}

TEST_F(HidrawServicesTest, ReportsCrossTheNodeWithTheIdInByteZero) {
    m_tree.AddNode(0, CFakeHidrawTree::Uevent(0x03B4, 0x3113),
                   CFakeHidrawTree::kReceiverDescriptor);
    SFakeDeviceNode device = m_tree.AttachTerminal(0);
    auto handle = m_services.Open(m_tree.NodePath(0));
    ASSERT_TRUE(handle);
    SHidCaps caps;
    ASSERT_TRUE(handle->GetCaps(caps));
    EXPECT_EQ(caps.nInputReportByteLength, 9);
    EXPECT_EQ(caps.nOutputReportByteLength, 9);

    // A write goes out as given: the report id byte first.
    const Bytes report = {0x00, 0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10};
    ASSERT_TRUE(handle->Write(report.data(), report.size()));
    EXPECT_EQ(CFakeHidrawTree::ReadFrom(device.master.Get(), 2s), report);

    // This device has no report ids, so hidraw delivers bare data and the
    // handle puts the id 0 in front.
    const Bytes answer = {0x80, 0x29, 0xCC, 1, 2, 3, 4, 5};
    ASSERT_EQ(::write(device.master.Get(), answer.data(), answer.size()), 8);
    Bytes input(9, 0xEE);
    ASSERT_EQ(handle->Read(input.data(), input.size()), 9);
    EXPECT_EQ(input, (Bytes{0x00, 0x80, 0x29, 0xCC, 1, 2, 3, 4, 5}));

    // A short report is handed up as it came, zero-filled.
    ASSERT_EQ(::write(device.master.Get(), "\x40", 1), 1);
    ASSERT_EQ(handle->Read(input.data(), input.size()), 2);
    EXPECT_EQ(input, (Bytes{0x00, 0x40, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(HidrawServicesTest, NumberedReportsKeepTheDevicesOwnId) {
    m_tree.AddNode(4, CFakeHidrawTree::Uevent(0x046D, 0xC31C),
                   CFakeHidrawTree::kKeyboardDescriptor);
    SFakeDeviceNode device = m_tree.AttachTerminal(4);
    auto handle = m_services.Open(m_tree.NodePath(4));
    ASSERT_TRUE(handle);

    const Bytes leds = {0x01, 0x02};
    ASSERT_TRUE(handle->Write(leds.data(), leds.size()));
    EXPECT_EQ(CFakeHidrawTree::ReadFrom(device.master.Get(), 2s), leds);

    const Bytes consumer = {0x02, 0xE9, 0x00};
    ASSERT_EQ(::write(device.master.Get(), consumer.data(), consumer.size()), 3);
    Bytes input(9, 0xEE);
    ASSERT_EQ(handle->Read(input.data(), input.size()), 3);
    EXPECT_EQ(input, (Bytes{0x02, 0xE9, 0x00, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
