#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "core/Recorder.h"
#include "platform/desktop/DBusDesktopNotifier.h"
#include "tests/app/CoreRig.h"
#include "tests/control/BusRig.h"
#include "tests/platform/desktop/FakeNotificationService.h"

namespace {

class CQuietObserver : public CRecorder::CObserver {};

// Recordings by hand, told to the desktop's notification service on a bus
// of the test's own.
class RecordingNotificationTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bus.IsRunning()) << m_bus.Error(); }

    // The core and the recorder on the rig's hardware, notifying over D-Bus.
    void Open(const std::string& strAddress) {
        m_pNotifier = std::make_unique<CDBusDesktopNotifier>(strAddress);
        m_rig.Card();
        const SRadioServices sim = m_rig.Services();
        const SRadioServices services{sim.receivers, sim.deviceNotices,  sim.mixer,     sim.media,
                                      sim.database,  sim.messageBoxes,   sim.scheduler, sim.clock,
                                      *m_pNotifier,  sim.sleepInhibitor, sim.bVista};
        m_pCore = std::make_unique<CRadioCore>(services, m_rig.m_profile);
        m_pCore->Init(&m_rig.m_window);
        m_pRecorder = std::make_unique<CRecorder>(*m_pCore, m_observer);
    }
    void TearDown() override {
        m_pRecorder.reset();
        m_pCore.reset();
    }

    CPrivateBus m_bus;
    CCoreRig m_rig;
    CQuietObserver m_observer;
    std::unique_ptr<CDBusDesktopNotifier> m_pNotifier;
    std::unique_ptr<CRadioCore> m_pCore;
    std::unique_ptr<CRecorder> m_pRecorder;
};

TEST_F(RecordingNotificationTest, StartedAndFinishedWithItsFile) {
    CFakeNotificationService service(QString::fromStdString(m_bus.Address()), {});
    ASSERT_TRUE(service.IsServing());
    Open(m_bus.Address());

    ASSERT_TRUE(m_pRecorder->Start());
    ASSERT_TRUE(CBusClient::WaitUntil([&] { return service.Received().size() == 1; }));
    const std::string strFile = m_pCore->RecordFile();
    EXPECT_EQ(service.Received()[0].strSummary, "Recording started");
    EXPECT_TRUE(service.Received()[0].strBody.contains(QString::fromStdString(strFile)));

    m_pRecorder->Stop();
    ASSERT_TRUE(CBusClient::WaitUntil([&] { return service.Received().size() == 2; }));
    EXPECT_EQ(service.Received()[1].strSummary, "Recording finished");
    EXPECT_TRUE(service.Received()[1].strBody.startsWith(QString::fromStdString(strFile)))
        << service.Received()[1].strBody.toStdString();
    EXPECT_EQ(service.Received()[1].hints.value(QStringLiteral("urgency")).toInt(), 1);
}

TEST_F(RecordingNotificationTest, AStartThatFailsSaysWhy) {
    CFakeNotificationService service(QString::fromStdString(m_bus.Address()), {});
    ASSERT_TRUE(service.IsServing());
    // The record folder is a file: no recording can be made there.
    const std::string strBlocker = m_rig.m_dir.File("not-a-folder");
    std::ofstream(strBlocker) << "x";
    m_rig.m_profile.WriteProfileString("SET", "PATH", strBlocker + "/RadioRecord");
    Open(m_bus.Address());

    EXPECT_FALSE(m_pRecorder->Start());
    ASSERT_TRUE(CBusClient::WaitUntil([&] { return service.Received().size() == 1; }));
    EXPECT_EQ(service.Received()[0].strSummary, "Recording failed");
    EXPECT_EQ(service.Received()[0].strBody, "Record fail!");
    EXPECT_EQ(service.Received()[0].hints.value(QStringLiteral("urgency")).toInt(), 2);
    EXPECT_EQ(m_rig.m_boxes.Shown().size(), 1u);  // the window's box as before
}

TEST_F(RecordingNotificationTest, WithoutAServiceOrABusTheRecordingIsTheSame) {
    Open(m_bus.Address());
    ASSERT_TRUE(m_pRecorder->Start());
    m_pRecorder->Stop();
    EXPECT_TRUE(std::filesystem::exists(m_pCore->RecordFile()));
    TearDown();

    Open(m_bus.AbsentAddress());
    ASSERT_TRUE(m_pRecorder->Start());
    m_pRecorder->Stop();
    EXPECT_TRUE(std::filesystem::exists(m_pCore->RecordFile()));
    EXPECT_TRUE(m_rig.m_boxes.Shown().empty());
}

}  // namespace
