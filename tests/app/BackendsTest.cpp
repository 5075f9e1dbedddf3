#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/RadioCore.h"
#include "core/backends/Backends.h"
#include "platform/db/SimDataSource.h"
#include "platform/dialogs/SimMessageBoxes.h"
#include "platform/hid/DeviceNotices.h"
#include "platform/hid/SimHidControl.h"
#include "platform/mixer/MixerTypes.h"
#include "platform/profile/Profile.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "sim/soundcard/SimSoundCard.h"
#include "tests/support/TempDir.h"

namespace {

TEST(BackendsTest, KindFollowsKestrelSimulate) {
    const char* pOld = std::getenv("KESTREL_SIMULATE");
    const std::string old = pOld ? pOld : "";
    setenv("KESTREL_SIMULATE", "1", 1);
    EXPECT_EQ(CBackends::KindFromEnvironment(), CBackends::EKind::Simulated);
    setenv("KESTREL_SIMULATE", "yes", 1);
    EXPECT_EQ(CBackends::KindFromEnvironment(), CBackends::EKind::Linux);
    unsetenv("KESTREL_SIMULATE");
    EXPECT_EQ(CBackends::KindFromEnvironment(), CBackends::EKind::Linux);
    if (pOld) {
        setenv("KESTREL_SIMULATE", old.c_str(), 1);
    }
}

// A kind of receiver the settings pin must be one Kestrel has; the start
// says which ones it has rather than run without a receiver.
TEST(BackendsTest, APinnedReceiverKindMustBeKnown) {
    EXPECT_EQ(CBackends::ReceiverKinds(), (std::vector<std::string>{"hid", "v4l2", "sdr"}));
    CTempDir dir;
    CSimDataSource dataSource(dir.Path());
    EXPECT_NO_THROW(CBackends(CBackends::EKind::Simulated, CBackends::EScreen::None, "hid"));
    try {
        CBackends backends(CBackends::EKind::Simulated, CBackends::EScreen::None, "sdr-9000");
        FAIL() << "an unknown kind was taken";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what())
                      .find("\"sdr-9000\", which Kestrel does not have (hid, v4l2, sdr)"),
                  std::string::npos)
            << error.what();
    }
}

// What a newcomer's first start in demo mode needs: the receiver is there,
// the capture device and the mixer's card are one, and a recording starts.
TEST(BackendsTest, DemoModeCoreFindsTheReceiverAndRecordsFromTheMixersCard) {
    CTempDir dir;
    CSimDataSource dataSource(dir.Path());
    CProfile profile(dir.File("Kestrel.ini"));
    profile.WriteProfileString("SET", "PATH", dir.File("RadioRecord"));
    profile.WriteProfileInt("SET", "RECOTYPE", 1);
    CBackends backends(CBackends::EKind::Simulated);
    ASSERT_NE(backends.SimReceiver(), nullptr);
    ASSERT_NE(backends.SimSoundCard(), nullptr);

    // Boxes are answered here, not on a screen.
    CSimMessageBoxes boxes;
    const SRadioServices real = backends.Services();
    CSimMessageTarget window;
    {
        CRadioCore core(
            {real.receivers, real.deviceNotices, real.mixer, real.media, real.database, boxes,
             real.scheduler, real.clock, real.notifier, real.sleepInhibitor, false},
            profile);
        core.Init(&window);
        EXPECT_TRUE(boxes.Shown().empty());
        EXPECT_EQ(core.DevicePresent(), 1);
        EXPECT_TRUE(core.FileList().IsOpen());
        EXPECT_EQ(core.AudioGraph().DeviceListEntry(0), backends.SimSoundCard()->ProductName());

        core.SelectInputMute();
        EXPECT_FALSE(backends.SimSoundCard()->IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE));
        ASSERT_TRUE(core.StartRecording());
        EXPECT_EQ(profile.GetProfileString("SET", "DeviceName"),
                  backends.SimSoundCard()->ProductName());
        core.StopRecording();
        EXPECT_TRUE(std::filesystem::exists(core.RecordFile()));
        EXPECT_EQ(dataSource.CountRows("FileList"), 1);

        // Pulling the receiver out is a device notice; the check closes the link.
        ASSERT_TRUE(real.deviceNotices.Start(&window));
        backends.SimHid()->Unplug(0);
        EXPECT_EQ(window.Count(WM_DEVICECHANGE, false), 1);
        EXPECT_EQ(core.CheckDevice(), 0);
        real.deviceNotices.Stop();
    }
}

// The demo on a receiver kind with RDS and audio of its own: the core finds
// it, tunes the station and shows its name, and records from its feed with no
// input to choose. hasDemoDevice says the kind's simulated device is there.
void ExpectTheDemoNamesAndRecords(const char* pKind,
                                  const std::function<bool(CBackends&)>& hasDemoDevice,
                                  unsigned nFrequency, const std::string& strStation,
                                  std::chrono::seconds wait, std::chrono::milliseconds recording) {
    CTempDir dir;
    CSimDataSource dataSource(dir.Path());
    CProfile profile(dir.File("Kestrel.ini"));
    profile.WriteProfileString("SET", "PATH", dir.File("RadioRecord"));
    profile.WriteProfileInt("SET", "RECOTYPE", 1);
    profile.WriteProfileInt("SET", "BAND", 0);  // Europe: 87.5-108 MHz
    CBackends backends(CBackends::EKind::Simulated, CBackends::EScreen::None, pKind);
    ASSERT_TRUE(hasDemoDevice(backends));
    CSimMessageBoxes boxes;
    const SRadioServices real = backends.Services();
    CSimMessageTarget window;
    CRadioCore core({real.receivers, real.deviceNotices, real.mixer, real.media, real.database,
                     boxes, real.scheduler, real.clock, real.notifier, real.sleepInhibitor, false},
                    profile);
    core.Init(&window);
    core.OpenRadio();
    ASSERT_EQ(core.DevicePresent(), 1);
    EXPECT_TRUE(core.BringsOwnAudio());
    core.TuneTo(nFrequency);
    const auto end = std::chrono::steady_clock::now() + wait;
    while (core.Reading().strStation != strStation && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(core.Reading().strStation, strStation);
    ASSERT_TRUE(core.StartRecording());
    std::this_thread::sleep_for(recording);
    core.StopRecording();
    EXPECT_GT(std::filesystem::file_size(core.RecordFile()), 44u + 4800);
    EXPECT_TRUE(boxes.Shown().empty());
}

// Demo mode with the V4L2 kind: a radio with RDS and its own sound card.
TEST(BackendsTest, DemoModeWithTheV4l2KindHasARadioWithRdsAndItsOwnAudio) {
    ExpectTheDemoNamesAndRecords(
        "v4l2", [](CBackends& backends) { return backends.SimV4l2() != nullptr; }, 8810, "KESTREL",
        std::chrono::seconds(10), std::chrono::milliseconds(300));
}

// Demo mode with the SDR kind: a dongle whose stations Kestrel demodulates.
TEST(BackendsTest, DemoModeWithTheSdrKindDemodulatesNamedStations) {
    ExpectTheDemoNamesAndRecords(
        "sdr", [](CBackends& backends) { return backends.SimSdr() != nullptr; }, 9470, "JAZZ FM",
        std::chrono::seconds(15), std::chrono::milliseconds(500));
}

}  // namespace
