#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "platform/audio/AudioFeed.h"
#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SimClock.h"
#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "receiver/V4l2Receiver.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

class CWindow : public CMessageTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
        if (message == WM_DEVICE_REPORT && wParam == DEVICE_REPORT_READING) {
            ++m_nReadings;
        }
        if (message == WM_DEVICECHANGE) {
            ++m_nDeviceChanges;
        }
    }
    intptr_t Send(uint32_t message, uintptr_t, intptr_t) override {
        if (message == WM_SEEK_FOUND) {
            ++m_nSeekFound;
        }
        return 0;
    }
    std::atomic<int> m_nReadings{0};
    std::atomic<int> m_nDeviceChanges{0};
    std::atomic<int> m_nSeekFound{0};
};

SSimV4l2Station Station(uint32_t nHz, const char* pName = "", const char* pText = "") {
    SSimV4l2Station station;
    station.nHz = nHz;
    station.bRds = pName[0] != '\0';
    station.rds.nPi = static_cast<uint16_t>(0x1000 + nHz / 100'000);
    station.rds.strName = pName;
    station.rds.strText = pText;
    return station;
}

class V4l2ReceiverTest : public ::testing::Test {
protected:
    // A radio like vivid's, with its own sound card playing a 1 kHz tone.
    int AddRadio(SSimV4l2Layout layout = {}) {
        layout.dRdsBlocksPerSecond = 4000;
        const int nId = m_v4l2.AddRadio(layout);
        if (!layout.strCaptureDevice.empty()) {
            m_capture.SetSource(layout.strCaptureDevice, [](int16_t* pFrames, size_t nFrames,
                                                            const CAudioFeed::SFormat& f) {
                for (size_t n = 0; n < nFrames; ++n) {
                    const auto v = static_cast<int16_t>(
                        8000 * std::sin(2 * M_PI * 1000 * double(n) / f.nSampleRate));
                    pFrames[2 * n] = v;
                    pFrames[2 * n + 1] = v;
                }
            });
        }
        return nId;
    }
    CV4l2Receiver& Receiver() {
        if (!m_pReceiver) {
            m_pReceiver = std::make_unique<CV4l2Receiver>(
                SV4l2ReceiverServices{m_v4l2, m_capture, m_output}, m_profile, m_clock);
            m_pReceiver->SetBand(CReceiver::BAND_FM);
            m_pReceiver->LoadBandPlan();
        }
        return *m_pReceiver;
    }
    void OpenFm() {
        ASSERT_EQ(Receiver().CountDevices(), 1);
        ASSERT_TRUE(Receiver().Open(&m_window));
        Receiver().SetBand(CReceiver::BAND_FM);
    }
    void TearDown() override {
        if (m_pReceiver) {
            m_pReceiver->JoinSeek();
            m_pReceiver->Close();
        }
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CSimClock m_clock;
    CWindow m_window;
    CSimV4l2Services m_v4l2;
    CSimAudioCaptureServices m_capture;
    CSimAudioOutputServices m_output;
    std::unique_ptr<CV4l2Receiver> m_pReceiver;
};

TEST_F(V4l2ReceiverTest, AnFmOnlyRadioHasNoAmBandAndANarrowBandKeepsTunesOnIt) {
    SSimV4l2Layout layout;
    layout.bands = {{SV4l2Band::EModulation::Fm, 87'500'000, 108'000'000}};
    const int nRadio = AddRadio(layout);
    EXPECT_TRUE(Receiver().HasBand(CReceiver::BAND_AM));  // nothing open: the plan holds
    OpenFm();
    EXPECT_FALSE(Receiver().HasBand(CReceiver::BAND_AM));
    EXPECT_TRUE(Receiver().HasBand(CReceiver::BAND_FM));

    // The Japanese plan is 76-90 MHz; the radio starts at 87.5.
    Receiver().Tune(8000);
    EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 8750u);
    EXPECT_EQ(m_v4l2.TunedHz(nRadio), 87'500'000u);
    Receiver().Tune(8990);
    EXPECT_EQ(m_v4l2.TunedHz(nRadio), 89'900'000u);
    EXPECT_EQ(CSettings(m_profile).FmFrequency(), 8990u);
}

TEST_F(V4l2ReceiverTest, AHardwareSeekThatStaysPutIsDoneByKestrelsOwnStationTest) {
    SSimV4l2Layout layout;
    layout.bSeekMoves = false;  // vivid in Linux 6.1
    layout.stations = {Station(81'000'000)};
    const int nRadio = AddRadio(layout);
    OpenFm();
    Receiver().Tune(7900);
    ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 20s));
    EXPECT_EQ(m_v4l2.SeeksStarted(nRadio), 1);
    EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 8100u);
    EXPECT_EQ(m_v4l2.TunedHz(nRadio), 81'000'000u);
    EXPECT_EQ(m_window.m_nSeekFound.load(), 1);
    EXPECT_EQ(Receiver().ChannelFlag(), 0);  // stereo
}

TEST_F(V4l2ReceiverTest, TheStationTestTakesTheScanLevelsThreshold) {
    SSimV4l2Layout layout;
    layout.bHardwareSeek = false;
    layout.bStereo = false;
    layout.stations = {Station(80'000'000)};
    AddRadio(layout);
    // The strictest level wants stereo: this mono station is passed over.
    CSettings(m_profile).SetOptions(1, 0, 0, 0, "", 0);
    OpenFm();
    Receiver().LoadBandPlan();
    Receiver().Tune(7900);
    ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 20s));
    EXPECT_EQ(m_window.m_nSeekFound.load(), 0);
    EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 7900u);

    CSettings(m_profile).SetOptions(1, 2, 0, 0, "", 0);
    Receiver().LoadBandPlan();
    ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 20s));
    EXPECT_EQ(m_window.m_nSeekFound.load(), 1);
    EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 8000u);
    EXPECT_EQ(Receiver().ChannelFlag(), 1);  // mono
}

TEST_F(V4l2ReceiverTest, ATuneDuringAHardwareSeekIsWhereTheRadioEndsUp) {
    SSimV4l2Layout layout;
    layout.seekTime = 300ms;
    layout.stations = {Station(81'000'000)};
    const int nRadio = AddRadio(layout);
    OpenFm();
    Receiver().Tune(7900);
    ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return m_v4l2.SeeksStarted(nRadio) > 0; }, 5s));
    Receiver().Tune(8500);
    Receiver().JoinSeek();
    EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 8500u);
    EXPECT_EQ(m_v4l2.TunedHz(nRadio), 85'000'000u);
    EXPECT_EQ(m_window.m_nSeekFound.load(), 0);
    EXPECT_EQ(CSettings(m_profile).FmFrequency(), 8500u);
}

TEST_F(V4l2ReceiverTest, FailedCallsSayWhyAndNeverHang) {
    const int nRadio = AddRadio();
    m_v4l2.FailNext(nRadio, CSimV4l2Control::ECall::Open, EV4l2Status::Busy);
    EXPECT_FALSE(Receiver().Open(&m_window));
    EXPECT_NE(Receiver().Reading().strProblem.find("busy"), std::string::npos);
    OpenFm();
    EXPECT_EQ(Receiver().Reading().strProblem, "");

    m_v4l2.FailNext(nRadio, CSimV4l2Control::ECall::SetFrequency, EV4l2Status::Unsupported);
    EXPECT_FALSE(Receiver().Tune(8000));
    EXPECT_NE(Receiver().Reading().strProblem.find("VIDIOC_S_FREQUENCY"), std::string::npos);

    // A busy or failing hardware seek ends where it began.
    Receiver().Tune(7900);
    const std::pair<EV4l2Status, const char*> outcomes[] = {
        {EV4l2Status::Busy, "busy"}, {EV4l2Status::Failed, "failed"}, {EV4l2Status::NoStation, ""}};
    for (const auto& [eStatus, pSaid] : outcomes) {
        m_v4l2.FailNext(nRadio, CSimV4l2Control::ECall::HardwareSeek, eStatus);
        ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
        ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 10s));
        EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 7900u);
        const std::string strProblem = Receiver().Reading().strProblem;
        EXPECT_EQ(strProblem.empty(), pSaid[0] == '\0') << strProblem;
        EXPECT_NE(strProblem.find(pSaid), std::string::npos) << strProblem;
    }
    EXPECT_EQ(m_window.m_nSeekFound.load(), 0);
}

TEST_F(V4l2ReceiverTest, RdsNamesTheStationTunedAndATuneAwayForgetsIt) {
    SSimV4l2Layout layout;
    layout.stations = {Station(88'100'000, "KESTREL", "Evening jazz"), Station(90'000'000)};
    AddRadio(layout);
    OpenFm();
    Receiver().Tune(8810);
    ASSERT_TRUE(WaitUntil([&] { return Receiver().Reading().strStation == "KESTREL"; }, 10s));
    ASSERT_TRUE(
        WaitUntil([&] { return Receiver().Reading().strRadioText == "Evening jazz"; }, 10s));
    EXPECT_GT(m_window.m_nReadings.load(), 0);
    const SReceiverReading reading = Receiver().Reading();
    EXPECT_EQ(reading.nSignal, 100);
    EXPECT_TRUE(reading.bStereo);

    Receiver().Tune(8900);
    EXPECT_EQ(Receiver().Reading().strStation, "");
    EXPECT_EQ(Receiver().Reading().nSignal, 0);
}

TEST_F(V4l2ReceiverTest, AnUnpluggedRadioIsToldAndFailsCleanly) {
    SSimV4l2Layout layout;
    layout.strCaptureDevice = "radio-card";
    layout.stations = {Station(88'100'000, "KESTREL")};
    const int nRadio = AddRadio(layout);
    OpenFm();
    Receiver().Tune(8810);
    m_v4l2.Unplug(nRadio);
    ASSERT_TRUE(WaitUntil([&] { return m_window.m_nDeviceChanges.load() > 0; }, 5s));
    EXPECT_EQ(Receiver().CountDevices(), 0);
    EXPECT_FALSE(Receiver().Tune(8820));
    Receiver().Close();
    EXPECT_EQ(m_v4l2.OpenHandles(nRadio), 0);
    EXPECT_EQ(m_capture.RunningCaptures(), 0);

    // Plugged again (as another radioN): it opens, and tunes where it was.
    m_v4l2.Plug(nRadio);
    OpenFm();
    Receiver().Retune();
    EXPECT_EQ(m_v4l2.TunedHz(nRadio), 88'200'000u);
}

TEST_F(V4l2ReceiverTest, ItsOwnSoundCardIsOpenedOnceForListeningAndRecording) {
    SSimV4l2Layout layout;
    layout.strCaptureDevice = "radio-card";
    AddRadio(layout);
    ASSERT_NE(Receiver().AudioFeed(), nullptr);
    std::unique_ptr<CAudioFeed::CReader> pRecorder = Receiver().AudioFeed()->OpenReader();
    OpenFm();
    EXPECT_EQ(m_capture.RunningCaptures(), 1);
    ASSERT_TRUE(WaitUntil([&] { return m_output.FramesPlayed() > 4800; }, 5s));
    int16_t frames[2 * 480];
    ASSERT_GT(pRecorder->Read(frames, 480, 2s), 0u);

    Receiver().SetMute(1);
    EXPECT_EQ(m_output.Playing(), 0);
    EXPECT_EQ(m_capture.RunningCaptures(), 1);  // a recording still hears the card
    Receiver().SetMute(0);
    EXPECT_EQ(m_output.Playing(), 1);
    Receiver().Close();
    EXPECT_EQ(m_output.Playing(), 0);
    EXPECT_EQ(m_capture.RunningCaptures(), 0);
}

TEST_F(V4l2ReceiverTest, ARadioWithALineOutIsHeardThroughTheSoundCardInput) {
    AddRadio();
    OpenFm();
    EXPECT_EQ(Receiver().AudioFeed(), nullptr);
    EXPECT_EQ(m_capture.RunningCaptures(), 0);
}

TEST_F(V4l2ReceiverTest, TheProfileChoosesAmongSeveralRadios) {
    SSimV4l2Layout first;
    first.strName = "First radio";
    first.strId = "usb:10c4:818a:AAA";
    SSimV4l2Layout second;
    second.strName = "Second radio";
    second.strId = "usb:10c4:818a:BBB";
    AddRadio(first);
    const int nSecond = AddRadio(second);
    ASSERT_EQ(Receiver().Devices().size(), 2u);
    EXPECT_EQ(Receiver().Devices()[1].strName, "Second radio");
    CSettings(m_profile).SetReceiverDevice("usb:10c4:818a:BBB");
    ASSERT_TRUE(Receiver().Open(&m_window));
    EXPECT_EQ(m_v4l2.OpenHandles(nSecond), 1);
}

TEST_F(V4l2ReceiverTest, ARadioTheUserMayNotOpenIsNotCountedButSaysWhatItNeeds) {
    SSimV4l2Layout locked;
    locked.strName = "Locked radio";
    locked.bAccessible = false;
    AddRadio(locked);
    EXPECT_EQ(Receiver().CountDevices(), 0);
    EXPECT_FALSE(Receiver().Open(&m_window));
    const std::string strRefusal = Receiver().Refusal();
    EXPECT_NE(strRefusal.find("Locked radio"), std::string::npos) << strRefusal;
    EXPECT_NE(strRefusal.find("Permission denied"), std::string::npos) << strRefusal;
    EXPECT_NE(strRefusal.find("groups video and audio"), std::string::npos) << strRefusal;

    // Another that the user may open serves, and nothing is refused then.
    SSimV4l2Layout open;
    open.strId = "usb:10c4:818a:OPEN";
    const int nOpen = AddRadio(open);
    EXPECT_EQ(Receiver().CountDevices(), 1);
    EXPECT_EQ(Receiver().Refusal(), "");
    ASSERT_TRUE(Receiver().Open(&m_window));
    EXPECT_EQ(m_v4l2.OpenHandles(nOpen), 1);
}

}  // namespace
