#include "device/HidDevice.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "platform/hid/SimHidServices.h"
#include "platform/window/SimMessageTarget.h"
#include "sim/receiver/SimReceiver.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

const Bytes kImage = {0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10};  // FM 87.50 MHz

// An FM image marked n in two bytes that the receiver does not check against
// each other (PLL word low byte and the last byte).
Bytes MarkedImage(uint8_t n) {
    Bytes image = kImage;
    image[1] = n;
    image[7] = n;
    return image;
}

class HidDeviceTest : public testing::Test {
protected:
    int AddReceiver(const std::shared_ptr<CSimReceiver>& receiver) {
        return m_services.AddInterface(CSimReceiver::Interface(receiver));
    }
    int AddDevice(uint16_t nVendorID, uint16_t nProductID, SHidCaps caps = {9, 9},
                  bool bOpenable = true) {
        return m_services.AddInterface({nVendorID, nProductID, caps, bOpenable, nullptr});
    }
    bool SendPayload(const Bytes& payload) {
        return m_device.SetOutputReport(payload.data(), payload.size()) && m_device.Send();
    }
    // Messages of the device link posted with this wParam.
    int Posted(uintptr_t wParam) const {
        int n = 0;
        for (const SWindowMessage& m : m_window.Messages()) {
            n += m.message == WM_DEVICE_REPORT && m.wParam == wParam && !m.bSent;
        }
        return n;
    }

    std::shared_ptr<CSimReceiver> m_receiver = std::make_shared<CSimReceiver>();
    CSimHidServices m_services;
    CSimMessageTarget m_window;
    CHidDevice m_device{m_services};
};

TEST_F(HidDeviceTest, WithoutReceiverNothingOpens) {
    const int nForeign = AddDevice(0x046D, 0xC31C);
    const int nOtherProduct = AddDevice(CHidDevice::kVendorID, 0x3114);

    EXPECT_EQ(m_device.CountDevices(), 0);
    EXPECT_FALSE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_FALSE(m_device.Send());
    uint8_t input[4];
    EXPECT_FALSE(m_device.SetOutputReport(kImage.data(), kImage.size()));
    EXPECT_FALSE(m_device.ReadInputReport(input, sizeof(input)));
    EXPECT_EQ(m_services.OpenHandles(nForeign) + m_services.OpenHandles(nOtherProduct), 0);
    EXPECT_TRUE(m_window.Messages().empty());
}

TEST_F(HidDeviceTest, CountsUsableReceiversAndOpensTheFirst) {
    auto second = std::make_shared<CSimReceiver>();
    const int nForeign = AddDevice(0x046D, CHidDevice::kProductID);
    const int nOtherProduct = AddDevice(CHidDevice::kVendorID, 0x3114);
    const int nHeld = AddDevice(CHidDevice::kVendorID, CHidDevice::kProductID, {9, 9}, false);
    const int nShortInput = AddDevice(CHidDevice::kVendorID, CHidDevice::kProductID, {3, 9});
    const int nShortOutput = AddDevice(CHidDevice::kVendorID, CHidDevice::kProductID, {9, 8});
    const int nFirst = AddReceiver(m_receiver);
    const int nSecond = AddReceiver(second);

    EXPECT_EQ(m_device.CountDevices(), 2);
    EXPECT_EQ(m_device.Caps().nInputReportByteLength, CSimReceiver::kInputReportLength);
    EXPECT_EQ(m_device.Caps().nOutputReportByteLength, CSimReceiver::kOutputReportLength);
    for (int nId : {nForeign, nOtherProduct, nHeld, nShortInput, nShortOutput, nFirst, nSecond}) {
        EXPECT_EQ(m_services.OpenHandles(nId), 0) << "counting left interface " << nId << " open";
    }

    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    EXPECT_EQ(m_services.OpenHandles(nFirst), 2);  // write handle and read handle
    EXPECT_EQ(m_services.OpenHandles(nSecond), 0);
    ASSERT_TRUE(SendPayload(kImage));
    ASSERT_TRUE(m_receiver->WaitForReports(1, 2s));
    EXPECT_EQ(second->ReportCount(), 0u);
}

TEST_F(HidDeviceTest, WritesTheReportAndKeepsTheLatestAnswer) {
    m_receiver->SetStations({{1, 8750, 1.0, true}});
    AddReceiver(m_receiver);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    ASSERT_EQ(m_device.OutputReportLength(), CSimReceiver::kOutputReportLength);
    Bytes input(4, 0xEE);
    ASSERT_TRUE(m_device.ReadInputReport(input.data(), input.size()));
    EXPECT_EQ(input, Bytes(4, 0));  // zeroed at open

    ASSERT_TRUE(SendPayload(kImage));
    ASSERT_TRUE(m_receiver->WaitForReports(1, 2s));
    Bytes expected(kImage.size() + 1, 0x00);  // report id 0, then the payload
    std::copy(kImage.begin(), kImage.end(), expected.begin() + 1);
    EXPECT_EQ(m_receiver->Reports().at(0).bytes, expected);

    ASSERT_TRUE(m_window.WaitFor(WM_DEVICE_REPORT, 1, 2000));
    const SWindowMessage posted = m_window.Messages().at(0);
    EXPECT_EQ(posted.wParam, DEVICE_REPORT_READ);
    EXPECT_EQ(posted.lParam, 1);
    ASSERT_TRUE(m_device.ReadInputReport(input.data(), input.size()));
    EXPECT_EQ(input[0], 0);
    EXPECT_EQ(input[1] & 0x80, 0) << "no-signal bit set on a station";
    EXPECT_EQ(((input[2] << 8) | input[3]) >> 2, 10700);
}

TEST_F(HidDeviceTest, OpenChecksTheLinkItAlreadyHas) {
    const int nId = AddReceiver(m_receiver);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));

    // Present: nothing changes, not even the notify window.
    CSimMessageTarget otherWindow;
    EXPECT_TRUE(m_device.Open(&otherWindow, 0x777));
    EXPECT_TRUE(m_device.IsOpen());
    EXPECT_EQ(m_device.NotifyWindow(), &m_window);
    EXPECT_EQ(m_services.OpenHandles(nId), 2);
    ASSERT_TRUE(SendPayload(kImage));
    ASSERT_TRUE(m_window.WaitFor(WM_DEVICE_REPORT, 1, 2000));
    EXPECT_TRUE(otherWindow.Messages().empty());

    // Gone: the link closes.
    m_services.Unplug(nId);
    EXPECT_FALSE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_FALSE(m_device.Send());
    EXPECT_EQ(m_services.OpenHandles(nId), 0);

    // And opens again once it is back.
    m_services.Plug(nId);
    EXPECT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
}

TEST_F(HidDeviceTest, CloseIsHarmlessInAnyState) {
    const int nId = AddReceiver(m_receiver);
    m_device.Close();
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    m_device.Close();
    m_device.Close();
    EXPECT_FALSE(m_device.IsOpen());
    EXPECT_FALSE(m_device.Send());
    uint8_t input[4];
    EXPECT_FALSE(m_device.ReadInputReport(input, sizeof(input)));
    EXPECT_EQ(m_device.OutputReportLength(), 0u);
    EXPECT_EQ(m_services.OpenHandles(nId), 0);
}

TEST_F(HidDeviceTest, FailedWriteIsPostedAndTheNextOneGoesOut) {
    AddReceiver(m_receiver);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    m_receiver->SetWritesFail(true);
    ASSERT_TRUE(SendPayload(kImage));
    ASSERT_TRUE(m_window.WaitFor(WM_DEVICE_REPORT, 1, 2000));
    const SWindowMessage posted = m_window.Messages().at(0);
    EXPECT_EQ(posted.wParam, DEVICE_REPORT_WRITE_FAILED);
    EXPECT_EQ(posted.lParam, 0);
    EXPECT_EQ(m_receiver->ReportCount(), 0u);

    m_receiver->SetWritesFail(false);
    ASSERT_TRUE(SendPayload(kImage));
    EXPECT_TRUE(m_receiver->WaitForReports(1, 2s));
}

TEST_F(HidDeviceTest, RequestsMergeButTheLastContentAlwaysGoesOut) {
    AddReceiver(m_receiver);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    constexpr int kSends = 250;  // one fill byte each, no wrap
    for (int i = 1; i <= kSends; ++i) {
        ASSERT_TRUE(SendPayload(MarkedImage(static_cast<uint8_t>(i))));
    }
    // Wait for the last content; every write before it carries one whole fill.
    for (int tries = 0; tries < 200; ++tries) {
        auto reports = m_receiver->Reports();
        if (!reports.empty() && reports.back().bytes[2] == kSends) {
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    const auto reports = m_receiver->Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_LE(reports.size(), static_cast<size_t>(kSends));
    EXPECT_EQ(reports.back().bytes[2], kSends);
    // In order; the same content may go out twice (a request made before
    // the thread copied it still stands afterwards), never a mix of two.
    int nPrevious = 0;
    for (const SSimReceivedReport& report : reports) {
        ASSERT_EQ(report.bytes.size(), 9u);
        EXPECT_EQ(report.bytes[0], 0);
        EXPECT_EQ(report.bytes[8], report.bytes[2]) << "a write mixed two fills";
        EXPECT_GE(report.bytes[2], nPrevious);
        nPrevious = report.bytes[2];
    }
}

TEST_F(HidDeviceTest, UnpluggedReceiverMakesTheThreadWaitNotSpin) {
    const int nId = AddReceiver(m_receiver);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    m_services.Unplug(nId);

    // Failing reads back off (10 ms doubling to 500 ms): a handful in this
    // window, where a spinning thread would post many thousands.
    std::this_thread::sleep_for(700ms);
    const int nReads = Posted(DEVICE_REPORT_READ);
    EXPECT_GE(nReads, 1);
    EXPECT_LE(nReads, 20);

    // Writes are still served while it waits, and fail.
    ASSERT_TRUE(SendPayload(kImage));
    EXPECT_TRUE(m_window.WaitFor(WM_DEVICE_REPORT, nReads + 1, 2000));
    for (int tries = 0; tries < 200 && Posted(DEVICE_REPORT_WRITE_FAILED) == 0; ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(Posted(DEVICE_REPORT_WRITE_FAILED), 1);

    // The core's next check closes the link, at once although the thread sleeps.
    EXPECT_FALSE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    EXPECT_EQ(m_services.OpenHandles(nId), 0);
}

// The tuner, the seek worker and the read thread share the buffers while the
// UI thread closes and reopens the link; the sanitizer builds watch.
TEST_F(HidDeviceTest, BuffersAreSharedSafelyWhileTheLinkComesAndGoes) {
    AddReceiver(m_receiver);
    ASSERT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    std::atomic<bool> bRunning{true};
    auto worker = [&](uint8_t nFill) {
        Bytes input(4);
        while (bRunning) {
            SendPayload(MarkedImage(nFill));
            m_device.ReadInputReport(input.data(), input.size());
            std::this_thread::yield();
        }
    };
    std::thread tuner(worker, 0x11);
    std::thread seeker(worker, 0x22);
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(5ms);
        m_device.Close();
        EXPECT_TRUE(m_device.Open(&m_window, WM_DEVICE_REPORT));
    }
    bRunning = false;
    tuner.join();
    seeker.join();

    m_receiver->ClearReports();
    ASSERT_TRUE(SendPayload(kImage));
    EXPECT_TRUE(m_receiver->WaitForReports(1, 2s));
}

}  // namespace
