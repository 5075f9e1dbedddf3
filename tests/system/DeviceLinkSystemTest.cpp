#include <poll.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "device/HidDevice.h"
#include "platform/clock/SystemClock.h"
#include "platform/hid/HidrawServices.h"
#include "platform/profile/Profile.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "sim/receiver/SimReceiver.h"
#include "sim/uhid/UhidReceiver.h"
#include "tests/support/TempDir.h"
#include "tests/system/GuestChild.h"
#include "tests/system/SystemWait.h"
#include "tuner/Tuner.h"

// The device link and the tuner on the real hidraw back-end, against the
// simulated receiver presented by the kernel's uhid: real report descriptor,
// real hidraw reads and writes, real arrival and removal.
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr auto kDeviceWait = 20s;

class DeviceLinkSystemTest : public testing::Test {
protected:
    DeviceLinkSystemTest() : m_profile(m_dir.File("Kestrel.ini")) { m_tuner.SetDevice(&m_device); }
    ~DeviceLinkSystemTest() override {
        m_tuner.JoinSeek();
        m_device.Close();
    }

    bool WaitForReceivers(int n) {
        return WaitUntil([&] { return m_device.CountDevices() == n; }, kDeviceWait);
    }
    void PlugAndOpen() {
        ASSERT_TRUE(m_uhid.Plug()) << m_uhid.LastError();
        ASSERT_TRUE(WaitForReceivers(1));
        ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    }
    // Tunes and returns the output report as the receiver got it.
    Bytes TuneAndReceive(int nPlan, int nBand, int nMode, unsigned frequency) {
        m_profile.WriteProfileInt("SET", "BAND", nPlan);
        m_tuner.LoadBandPlan();
        m_tuner.SetBand(nBand);
        m_tuner.SetTuningMode(nMode);
        return SendAndReceive([&] { return m_tuner.Tune(frequency); });
    }
    template <typename Send>
    Bytes SendAndReceive(Send send) {
        const size_t nBefore = m_pReceiver->ReportCount();
        if (!send() || !m_pReceiver->WaitForReports(nBefore + 1, kDeviceWait)) {
            return {};
        }
        return m_pReceiver->Reports().back().bytes;
    }
    // Waits for the link's input buffer to hold exactly this report.
    bool WaitForInput(const Bytes& expected) {
        return WaitUntil(
            [&] {
                Bytes input(expected.size());
                return m_device.ReadInputReport(input.data(), input.size()) && input == expected;
            },
            kDeviceWait);
    }
    Bytes LatestInput() {
        Bytes input(CSimReceiver::kInputReportLength);
        m_device.ReadInputReport(input.data(), input.size());
        return input;
    }

    CTempDir m_dir;
    CProfile m_profile;
    CSystemClock m_clock;
    std::shared_ptr<CSimReceiver> m_pReceiver = std::make_shared<CSimReceiver>();
    CUhidReceiver m_uhid{m_pReceiver};
    CHidrawServices m_services;
    CSimMessageTarget m_window;
    CHidDevice m_device{m_services};
    CTuner m_tuner{m_profile, m_clock};
};

TEST_F(DeviceLinkSystemTest, WorkedImagesReachTheReceiverByteForByte) {
    ASSERT_TRUE(m_uhid.Plug()) << m_uhid.LastError();
    ASSERT_TRUE(WaitForReceivers(1));
    // The lengths come from the report descriptor the kernel holds.
    EXPECT_EQ(m_device.Caps().nInputReportByteLength, 9);
    EXPECT_EQ(m_device.Caps().nOutputReportByteLength, 9);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));

    struct SCase {
        int nPlan;
        int nBand;
        int nMode;
        unsigned frequency;
        std::array<uint8_t, 8> image;
    };
    const int FM = CTuner::BAND_FM;
    const int AM = CTuner::BAND_AM;
    const SCase cases[] = {
        {0, FM, 0, 8750, {0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10}},
        {0, FM, 0, 10800, {0x28, 0x46, 0x09, 0x03, 0x29, 0xD2, 0x00, 0x10}},
        {1, FM, 0, 7600, {0x28, 0xC6, 0x06, 0x03, 0x29, 0xD2, 0x00, 0x10}},
        {0, AM, 0, 522, {0x28, 0x40, 0x14, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {0, AM, 0, 1629, {0x28, 0x50, 0x2B, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {2, AM, 0, 520, {0x28, 0x20, 0x0C, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {2, AM, 0, 1710, {0x28, 0x00, 0x1B, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {0, FM, 1, 8750, {0x28, 0xAC, 0x07, 0x03, 0x29, 0xF2, 0x0C, 0x10}},
        {0, FM, 2, 8750, {0x28, 0xAC, 0x07, 0x07, 0x29, 0xF2, 0x04, 0x10}},
    };
    for (const SCase& c : cases) {
        Bytes expected = {0x00};  // report id, then the image
        expected.insert(expected.end(), c.image.begin(), c.image.end());
        const Bytes received = TuneAndReceive(c.nPlan, c.nBand, c.nMode, c.frequency);
        EXPECT_EQ(received, expected)
            << "band " << c.nBand << " " << c.frequency << " mode " << c.nMode << ": got "
            << HexBytes(received.data(), received.size());
    }
    EXPECT_EQ(m_window.Count(WM_DEVICE_REPORT, false) > 0, true);
}

TEST_F(DeviceLinkSystemTest, StatusRequestIsAnsweredThroughTheReadThread) {
    PlugAndOpen();
    // A strong stereo station: no-signal bit clear, stereo bit set, IF 10700.
    ASSERT_FALSE(TuneAndReceive(1, CTuner::BAND_FM, 0, 8000).empty());
    m_window.Clear();
    const Bytes request = SendAndReceive([&] {
        m_tuner.RequestStatus();
        return true;
    });
    EXPECT_EQ(request, (Bytes{0x00, 0x2A, 0, 0, 0, 0, 0, 0, 0}))
        << HexBytes(request.data(), request.size());
    // Byte 0 is the id the handle puts in front of a report without one.
    const Bytes answer = {0x00, 0x40, 0xA7, 0x30, 0, 0, 0, 0, 0};
    EXPECT_TRUE(WaitForInput(answer)) << "latest input: " << HexBytes(LatestInput().data(), 9);
    ASSERT_TRUE(m_window.WaitFor(WM_DEVICE_REPORT, 1, 10000));
    EXPECT_EQ(m_window.Messages().front().wParam, DEVICE_REPORT_READ);

    // The count goes out big-endian, shifted left by two: 10685 is A6 F4.
    m_pReceiver->ForceNextStatus(0x00);
    m_pReceiver->ForceNextIfCount(10685);
    m_tuner.RequestStatus();
    EXPECT_TRUE(WaitForInput({0x00, 0x00, 0xA6, 0xF4, 0, 0, 0, 0, 0}))
        << "latest input: " << HexBytes(LatestInput().data(), 9);
}

// Without the link, as the handle itself sees the node: writes carry the id
// byte, reads come without it and are handed up with a 0 in front.
TEST_F(DeviceLinkSystemTest, HidrawNodeReadsAndWritesAsTheHandleSays) {
    ASSERT_TRUE(m_uhid.Plug()) << m_uhid.LastError();
    ASSERT_TRUE(WaitForReceivers(1));
    const std::vector<std::string> paths = m_services.EnumerateInterfaces();
    ASSERT_EQ(paths.size(), 1u);
    std::unique_ptr<CHidHandle> pHandle = m_services.Open(paths[0]);
    ASSERT_TRUE(pHandle);
    SHidAttributes attributes;
    ASSERT_TRUE(pHandle->GetAttributes(attributes));
    EXPECT_EQ(attributes.nVendorID, 0x03B4);
    EXPECT_EQ(attributes.nProductID, 0x3113);

    const uint8_t request[9] = {0x00, 0x2A};
    ASSERT_TRUE(pHandle->Write(request, sizeof(request)));
    pollfd fd{pHandle->PollFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&fd, 1, 10000), 1);
    uint8_t report[9];
    EXPECT_EQ(pHandle->Read(report, sizeof(report)), 9);
    // Not tuned yet: no signal, the count well off any station.
    EXPECT_EQ(report[0], 0x00);
    EXPECT_EQ(report[1], 0x80);

    // Gone: the node hangs up, reads and writes fail.
    m_uhid.Unplug();
    ASSERT_TRUE(WaitForReceivers(0));
    fd.revents = 0;
    ASSERT_EQ(::poll(&fd, 1, 10000), 1);
    EXPECT_NE(fd.revents & (POLLHUP | POLLERR), 0);
    EXPECT_EQ(pHandle->Read(report, sizeof(report)), -1);
    EXPECT_FALSE(pHandle->Write(request, sizeof(request)));
}

TEST_F(DeviceLinkSystemTest, SeekStopsOnTheReceiversStation) {
    PlugAndOpen();
    // Japan plan: from 76.00 up, 77.90 hears 78.00 off-tune (IF 10600, no
    // station), 78.00 is the station.
    ASSERT_FALSE(TuneAndReceive(1, CTuner::BAND_FM, 0, 7700).empty());
    ASSERT_TRUE(m_tuner.StartSeek(CTuner::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !m_tuner.HasSeekThread(); }, 120s));
    EXPECT_EQ(m_tuner.CurrentFrequency(), 7800u);
    EXPECT_EQ(m_window.Count(WM_SEEK_FOUND, true), 1);
    EXPECT_EQ(m_tuner.TuningOffset(), 20);
    EXPECT_EQ(m_tuner.ChannelFlag(), 0);  // a stereo station
    // The worker's last tune is written by the link's thread; it reaches the
    // receiver a moment after the worker has ended.
    WaitUntil([&] { return m_pReceiver->TunedState().nMode == CTuner::MODE_NORMAL; }, 10s);
    const SSimTunedState state = m_pReceiver->TunedState();
    EXPECT_EQ(state.nFrequency, 7800u);
    EXPECT_EQ(state.nMode, CTuner::MODE_NORMAL);
    EXPECT_FALSE(state.bMuted);
}

TEST_F(DeviceLinkSystemTest, TwoReceiversCountTwoAndAnotherProductNever) {
    ASSERT_TRUE(m_uhid.Plug()) << m_uhid.LastError();
    ASSERT_TRUE(WaitForReceivers(1));

    CGuestChild second;
    ASSERT_TRUE(second.Start({KESTREL_UHID_RECEIVER}));
    ASSERT_EQ(second.ReadLine(20s).value_or("(nothing)"), "plugged");
    ASSERT_TRUE(WaitForReceivers(2));

    CGuestChild other;
    ASSERT_TRUE(other.Start({KESTREL_UHID_RECEIVER, "--product", "3114"}));
    ASSERT_EQ(other.ReadLine(20s).value_or("(nothing)"), "plugged");
    ASSERT_TRUE(
        WaitUntil([&] { return m_services.EnumerateInterfaces().size() == 3; }, kDeviceWait));
    EXPECT_EQ(m_device.CountDevices(), 2);

    // The program's own plug and unplug.
    EXPECT_EQ(second.Ask("unplug").value_or("(nothing)"), "unplugged");
    EXPECT_TRUE(WaitForReceivers(1));
    EXPECT_EQ(second.Ask("plug").value_or("(nothing)"), "plugged");
    EXPECT_TRUE(WaitForReceivers(2));
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    EXPECT_EQ(second.Ask("quit").value_or("(nothing)"), "bye");
    EXPECT_EQ(second.Finish(), 0);
    EXPECT_EQ(other.Ask("quit").value_or("(nothing)"), "bye");
    EXPECT_EQ(other.Finish(), 0);
    EXPECT_TRUE(WaitForReceivers(1));
}

TEST_F(DeviceLinkSystemTest, UnplugWhileOpenClosesAtTheNextCheckAndPlugReopens) {
    PlugAndOpen();
    m_uhid.Unplug();
    ASSERT_TRUE(WaitForReceivers(0));
    // Until the core's next check the read thread meets failed reads; it
    // must wait between them, not spin.
    m_window.Clear();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(m_window.Count(WM_DEVICE_REPORT, false), 50);

    EXPECT_FALSE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_FALSE(m_device.Send());
    EXPECT_FALSE(m_tuner.Tune(8000));

    ASSERT_TRUE(m_uhid.Plug()) << m_uhid.LastError();
    ASSERT_TRUE(WaitForReceivers(1));
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    const Bytes image = TuneAndReceive(1, CTuner::BAND_FM, 0, 8000);
    EXPECT_EQ(image, (Bytes{0x00, 0x28, 0x16, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10}))
        << HexBytes(image.data(), image.size());
}

}  // namespace
