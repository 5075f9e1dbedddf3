#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SimClock.h"
#include "platform/hid/SimHidServices.h"
#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "platform/sdr/SimSdrServices.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/TextSink.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"
#include "receiver/BandScan.h"
#include "receiver/HidReceiver.h"
#include "receiver/SdrReceiver.h"
#include "receiver/V4l2Receiver.h"
#include "sim/receiver/SimReceiver.h"
#include "tests/receiver/ScriptedReceiver.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// The window a receiver tells: what it was sent and posted, from any thread.
class CContractWindow : public CMessageTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
        ++m_nMessages;
        if (message == WM_DEVICE_REPORT && wParam == DEVICE_REPORT_READ) {
            ++m_nReads;
        }
    }
    intptr_t Send(uint32_t message, uintptr_t, intptr_t) override {
        ++m_nMessages;
        if (message == WM_SEEK_FOUND) {
            ++m_nSeekFound;
        }
        return 0;
    }
    std::atomic<int> m_nMessages{0};
    std::atomic<long> m_nReads{0};
    std::atomic<int> m_nSeekFound{0};
};

class CDisplay : public CTextSink {
public:
    void SetText(const std::string& text) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

// The HID receiver on the simulated HID back-end: the simulated receiver
// answers every report before the tuner's clock moves on.
class CHidKind {
public:
    CHidKind(CProfile& profile, CSimClock& clock, CContractWindow& window)
        : m_pSim(std::make_shared<CSimReceiver>()), m_window(window) {
        m_hid.AddInterface(CSimReceiver::Interface(m_pSim));
        m_pReceiver = std::make_unique<CHidReceiver>(m_hid, profile, clock);
        clock.SetSettleHook([this] { Settle(); });
        m_pSim->SetStations({});
    }
    CReceiver& Receiver() { return *m_pReceiver; }
    void PlaceStation(int nBand, unsigned nFrequency) {
        m_pSim->SetStations({{nBand, nFrequency, 1.0, true}});
    }
    // FM stations, every other one weak and mono.
    void PlaceStations(const std::vector<unsigned>& frequencies) {
        std::vector<SSimStation> stations;
        for (size_t i = 0; i < frequencies.size(); ++i) {
            const bool bWeak = i % 2 == 1;
            stations.push_back({CReceiver::BAND_FM, frequencies[i], bWeak ? 0.4 : 1.0, !bWeak});
        }
        m_pSim->SetStations(stations);
    }
    bool SeekUnderWay(size_t nTextsSince) const { return nTextsSince >= 2; }

private:
    void Settle() {
        CHidDevice& device = m_pReceiver->Device();
        WaitUntil(
            [&] {
                return !device.IsOpen() ||
                       (!device.IsWritePending() && m_pSim->ReportCount() >= device.WritesMade() &&
                        m_window.m_nReads.load() >= static_cast<long>(m_pSim->ReportCount()));
            },
            5s, [] { std::this_thread::sleep_for(50us); });
    }

    std::shared_ptr<CSimReceiver> m_pSim;
    CSimHidServices m_hid;
    CContractWindow& m_window;
    std::unique_ptr<CHidReceiver> m_pReceiver;
};

// The scripted receiver of the core's own tests, with its own audio.
class CScriptedKind {
public:
    CScriptedKind(CProfile& profile, CSimClock& clock, CContractWindow&)
        : m_profile(profile), m_clock(clock) {
        // Each step takes a moment of real time, as the others' do: a walk
        // that raced through the band would end before a cancel could come.
        clock.SetSettleHook([] { std::this_thread::sleep_for(1ms); });
        m_pReceiver = std::make_unique<CScriptedReceiver>(m_profile, m_clock,
                                                          std::vector<SScriptedStation>{});
    }
    CReceiver& Receiver() { return *m_pReceiver; }
    void PlaceStation(int nBand, unsigned nFrequency) {
        SScriptedStation station;
        station.nBand = nBand;
        station.nFrequency = nFrequency;
        m_pReceiver = std::make_unique<CScriptedReceiver>(m_profile, m_clock,
                                                          std::vector<SScriptedStation>{station});
    }
    void PlaceStations(const std::vector<unsigned>& frequencies) {
        std::vector<SScriptedStation> stations;
        for (unsigned nFrequency : frequencies) {
            stations.push_back({});
            stations.back().nFrequency = nFrequency;
        }
        m_pReceiver = std::make_unique<CScriptedReceiver>(m_profile, m_clock, stations);
    }
    bool SeekUnderWay(size_t nTextsSince) const { return nTextsSince >= 2; }

private:
    CProfile& m_profile;
    CSimClock& m_clock;
    std::unique_ptr<CScriptedReceiver> m_pReceiver;
};

// A V4L2 radio on the simulated back-end, with its own sound card: seeking
// by its hardware (which takes a while, as a tuner's does) or by Kestrel's
// own station test.
template <bool HardwareSeek>
class CV4l2Kind {
public:
    CV4l2Kind(CProfile& profile, CSimClock& clock, CContractWindow&) {
        SSimV4l2Layout layout;
        layout.strCaptureDevice = "sim-radio-card";
        layout.bHardwareSeek = HardwareSeek;
        layout.seekTime = 300ms;
        m_nRadio = m_v4l2.AddRadio(layout);
        m_capture.SetSource("sim-radio-card", [](int16_t* pFrames, size_t nFrames,
                                                 const CAudioFeed::SFormat& format) {
            std::fill(pFrames, pFrames + nFrames * static_cast<size_t>(format.nChannels), 0);
        });
        // Each step of Kestrel's own walk takes a moment, as on a real tuner.
        clock.SetSettleHook([] { std::this_thread::sleep_for(1ms); });
        m_pReceiver = std::make_unique<CV4l2Receiver>(
            SV4l2ReceiverServices{m_v4l2, m_capture, m_output}, profile, clock);
    }
    CReceiver& Receiver() { return *m_pReceiver; }
    void PlaceStation(int nBand, unsigned nFrequency) {
        SSimV4l2Station station;
        station.nHz = nFrequency * (nBand == CReceiver::BAND_FM ? 10'000u : 1'000u);
        station.bRds = false;
        m_v4l2.SetStations(m_nRadio, {station});
    }
    void PlaceStations(const std::vector<unsigned>& frequencies) {
        std::vector<SSimV4l2Station> stations;
        for (unsigned nFrequency : frequencies) {
            stations.push_back({});
            stations.back().nHz = nFrequency * 10'000u;
            stations.back().bRds = false;
        }
        m_v4l2.SetStations(m_nRadio, stations);
    }
    bool SeekUnderWay(size_t nTextsSince) const {
        return HardwareSeek ? m_v4l2.SeeksStarted(m_nRadio) > 0 : nTextsSince >= 2;
    }

private:
    CSimV4l2Services m_v4l2;
    CSimAudioCaptureServices m_capture;
    CSimAudioOutputServices m_output;
    int m_nRadio = 0;
    std::unique_ptr<CV4l2Receiver> m_pReceiver;
};

// An SDR dongle on the simulated back-end: its stations synthesized in real
// time, Kestrel's own station test on the IQ, which needs the IQ of each step.
class CSdrKind {
public:
    CSdrKind(CProfile& profile, CSimClock& clock, CContractWindow&) {
        m_nDongle = m_sdr.AddDongle({});
        clock.SetSettleHook([] { std::this_thread::sleep_for(40ms); });
        m_pReceiver = std::make_unique<CSdrReceiver>(SSdrReceiverServices{m_sdr, m_output, 960'000},
                                                     profile, clock);
    }
    CReceiver& Receiver() { return *m_pReceiver; }
    void PlaceStation(int, unsigned nFrequency) {
        SSimSdrStation station;
        station.dHz = nFrequency * 10'000.0;
        station.station.left = station.station.right = {{1000, 0.3}};
        m_sdr.SetStations(m_nDongle, {station});
    }
    void PlaceStations(const std::vector<unsigned>& frequencies) {
        std::vector<SSimSdrStation> stations;
        for (unsigned nFrequency : frequencies) {
            stations.push_back({});
            stations.back().dHz = nFrequency * 10'000.0;
            stations.back().station.left = stations.back().station.right = {{1000, 0.3}};
        }
        m_sdr.SetStations(m_nDongle, stations);
    }
    bool SeekUnderWay(size_t nTextsSince) const { return nTextsSince >= 2; }

private:
    CSimSdrServices m_sdr;
    CSimAudioOutputServices m_output;
    int m_nDongle = 0;
    std::unique_ptr<CSdrReceiver> m_pReceiver;
};

// What every kind of receiver must do, whatever it is: the same behaviour
// checks on each, on a virtual clock and the Japanese plan (FM 76-90 MHz).
template <class TKind>
class ReceiverContractTest : public ::testing::Test {
protected:
    // Stations go in before the receiver is opened: a kind may be made anew.
    void Open(std::optional<std::pair<int, unsigned>> station = std::nullopt) {
        if (station) {
            m_kind.PlaceStation(station->first, station->second);
        }
        CReceiver& receiver = m_kind.Receiver();
        receiver.SetDisplay(&m_display);
        receiver.LoadBandPlan();
        ASSERT_EQ(receiver.CountDevices(), 1);
        ASSERT_TRUE(receiver.Open(&m_window));
    }
    CReceiver& Receiver() { return m_kind.Receiver(); }
    void TearDown() override {
        Receiver().JoinSeek();
        Receiver().Close();
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CSimClock m_clock;
    CContractWindow m_window;
    CDisplay m_display;
    TKind m_kind{m_profile, m_clock, m_window};
};

using Kinds =
    ::testing::Types<CHidKind, CScriptedKind, CV4l2Kind<true>, CV4l2Kind<false>, CSdrKind>;
TYPED_TEST_SUITE(ReceiverContractTest, Kinds);

TYPED_TEST(ReceiverContractTest, EachBandKeepsItsFrequencyAndPublishesIt) {
    this->Open();
    CReceiver& receiver = this->Receiver();
    ASSERT_TRUE(receiver.HasBand(CReceiver::BAND_FM));
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.Tune(8250);
    if (receiver.HasBand(CReceiver::BAND_AM)) {
        receiver.SetBand(CReceiver::BAND_AM);
        receiver.Tune(1008);
        receiver.SetBand(CReceiver::BAND_FM);
        EXPECT_EQ(receiver.Frequency(CReceiver::BAND_AM), 1008u);
        EXPECT_EQ(CSettings(this->m_profile).AmFrequency(), 1008u);
    }
    EXPECT_EQ(receiver.Band(), CReceiver::BAND_FM);
    EXPECT_EQ(receiver.Frequency(CReceiver::BAND_FM), 8250u);
    EXPECT_EQ(CSettings(this->m_profile).FmFrequency(), 8250u);
}

TYPED_TEST(ReceiverContractTest, ATuneReachesTheDisplayFoldedIntoTheBand) {
    this->Open();
    CReceiver& receiver = this->Receiver();
    receiver.SetBand(CReceiver::BAND_FM);
    const CTuningSteps steps = receiver.Steps(CReceiver::BAND_FM);
    receiver.Tune(8000, 1);
    EXPECT_EQ(receiver.ChannelFlag(), 1);
    ASSERT_FALSE(this->m_display.Texts().empty());
    EXPECT_EQ(this->m_display.Texts().back(), "80.00MHz");
    receiver.Tune(steps.Upper() + 10);  // above the band: its lower edge
    EXPECT_EQ(receiver.Frequency(CReceiver::BAND_FM), steps.Lower());
    EXPECT_EQ(this->m_display.Texts().back(),
              CPresetStore::ListText(CReceiver::BAND_FM, steps.Lower()));
    receiver.Retune();
    EXPECT_EQ(receiver.Frequency(CReceiver::BAND_FM), steps.Lower());
}

TYPED_TEST(ReceiverContractTest, ASeekStopsOnTheStationAheadAndSaysSo) {
    this->Open(std::pair{CReceiver::BAND_FM, 8000u});
    CReceiver& receiver = this->Receiver();
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.Tune(7900);
    ASSERT_TRUE(receiver.StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !receiver.IsSeeking(); }, 30s));
    EXPECT_EQ(receiver.Frequency(CReceiver::BAND_FM), 8000u);
    EXPECT_EQ(this->m_window.m_nSeekFound.load(), 1);
    EXPECT_GT(receiver.Reading().nSignal, 0);
}

// Once CancelSeek() returned, the walk changes nothing and says nothing.
TYPED_TEST(ReceiverContractTest, ACancelledSeekFreezesTheStateAndIsNeverTold) {
    this->Open(std::pair{CReceiver::BAND_FM, 8950u});
    CReceiver& receiver = this->Receiver();
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.Tune(7700);
    const size_t nTexts = this->m_display.Texts().size();
    ASSERT_TRUE(receiver.StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil(
        [&] { return this->m_kind.SeekUnderWay(this->m_display.Texts().size() - nTexts); }, 10s));
    receiver.CancelSeek();
    const unsigned nFrozen = receiver.Frequency(CReceiver::BAND_FM);
    const int nFlag = receiver.ChannelFlag();
    ASSERT_TRUE(WaitUntil([&] { return !receiver.IsSeeking(); }, 10s));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(receiver.Frequency(CReceiver::BAND_FM), nFrozen);
    EXPECT_EQ(receiver.ChannelFlag(), nFlag);
    EXPECT_EQ(receiver.Band(), CReceiver::BAND_FM);
    EXPECT_NE(nFrozen, 8950u);
    EXPECT_EQ(this->m_window.m_nSeekFound.load(), 0);
}

// Closed, it sends the window nothing more, not even a seek's end.
TYPED_TEST(ReceiverContractTest, CloseSilencesTheReceiver) {
    this->Open(std::pair{CReceiver::BAND_FM, 8950u});
    CReceiver& receiver = this->Receiver();
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.Tune(7700);
    ASSERT_TRUE(receiver.StartSeek(CReceiver::SEEK_UP));
    receiver.JoinSeek();
    receiver.Close();
    const int nMessages = this->m_window.m_nMessages.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(this->m_window.m_nMessages.load(), nMessages);
    EXPECT_FALSE(receiver.IsSeeking());
    EXPECT_EQ(this->m_window.m_nSeekFound.load(), 0);
}

// A scan walks the whole band with the seek's test and keeps only the
// stations; it tells nothing of them as a seek's find.
TYPED_TEST(ReceiverContractTest, AScanWalksTheBandAndKeepsOnlyTheStation) {
    this->Open(std::pair{CReceiver::BAND_FM, 8950u});
    CReceiver& receiver = this->Receiver();
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.Tune(7700);
    const CTuningSteps steps = receiver.Steps(CReceiver::BAND_FM);
    std::mutex mutex;
    std::vector<SScanProgress> progress;
    std::atomic<int> nEnds{0};
    CBandScan scan(receiver, 0ms);
    ASSERT_TRUE(scan.Start(
        [&](const SScanProgress& p) {
            std::lock_guard lock(mutex);
            progress.push_back(p);
        },
        [&](bool bCancelled) { nEnds += bCancelled ? 100 : 1; }));
    EXPECT_TRUE(scan.Wait());
    EXPECT_EQ(nEnds.load(), 1);
    const std::vector<SScanStation> stations = scan.Stations();
    ASSERT_EQ(stations.size(), 1u);
    EXPECT_EQ(stations[0].nFrequency, 8950u);
    EXPECT_EQ(stations[0].nBand, CReceiver::BAND_FM);
    ASSERT_FALSE(progress.empty());
    const int nChannels = static_cast<int>((steps.Upper() - steps.Lower()) / steps.Spacing() + 1);
    EXPECT_EQ(progress.front().nFrequency, steps.Lower());
    EXPECT_EQ(progress.back().nChannel, nChannels);
    EXPECT_EQ(progress.back().nChannels, nChannels);
    EXPECT_EQ(progress.back().nFound, 1);
    EXPECT_EQ(this->m_window.m_nSeekFound.load(), 0);
}

// A cancel ends the walk at the channel under test: nothing more is tuned.
TYPED_TEST(ReceiverContractTest, ACancelledScanStopsAtTheChannelUnderTest) {
    this->Open(std::pair{CReceiver::BAND_FM, 8950u});
    CReceiver& receiver = this->Receiver();
    receiver.SetBand(CReceiver::BAND_FM);
    std::atomic<int> nChannel{0};
    std::atomic<bool> bCancelled{false};
    CBandScan scan(receiver, 0ms);
    ASSERT_TRUE(scan.Start([&](const SScanProgress& p) { nChannel = p.nChannel; },
                           [&](bool bWasCancelled) { bCancelled = bWasCancelled; }));
    ASSERT_TRUE(WaitUntil([&] { return nChannel.load() >= 4; }, 30s));
    scan.Cancel();
    const int nAtCancel = nChannel.load();
    EXPECT_FALSE(scan.Wait());
    EXPECT_TRUE(bCancelled.load());
    EXPECT_TRUE(scan.WasCancelled());
    EXPECT_LE(nChannel.load(), nAtCancel + 1);
    const size_t nTexts = this->m_display.Texts().size();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(this->m_display.Texts().size(), nTexts);
    EXPECT_TRUE(scan.Stations().empty());
}

// At every scan level the walk finds every station on the band, near its
// edges too, and nothing on the channels between.
TYPED_TEST(ReceiverContractTest, AScanAtEachLevelFindsEveryStationAndNothingBetween) {
    const std::vector<unsigned> placed = {7610, 7800, 8250, 8500, 8990};
    for (int nLevel = 0; nLevel <= 2; ++nLevel) {
        SCOPED_TRACE(nLevel);
        this->m_profile.WriteProfileInt("SET", "SCANLEVEL", nLevel);
        this->m_kind.PlaceStations(placed);
        this->Open();
        CReceiver& receiver = this->Receiver();
        receiver.SetBand(CReceiver::BAND_FM);
        CBandScan scan(receiver, 0ms);
        ASSERT_TRUE(scan.Start({}, {}));
        EXPECT_TRUE(scan.Wait());
        std::vector<unsigned> found;
        for (const SScanStation& station : scan.Stations()) {
            found.push_back(station.nFrequency);
        }
        EXPECT_EQ(found, placed);
        receiver.Close();
    }
}

}  // namespace
