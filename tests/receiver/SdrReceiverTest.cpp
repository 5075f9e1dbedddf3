#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "platform/audio/AudioFeed.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SystemClock.h"
#include "platform/profile/Profile.h"
#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/SimSdrServices.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "receiver/SdrReceiver.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

constexpr double kRate = 960'000;

class CWindow : public CMessageTarget {
public:
    void Post(uint32_t message, uintptr_t, intptr_t) override {
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
    std::atomic<int> m_nDeviceChanges{0};
    std::atomic<int> m_nSeekFound{0};
};

SSimSdrStation Station(double dHz, const char* pName, double dLeftHz, double dRightHz) {
    SSimSdrStation station;
    station.dHz = dHz;
    station.station.left = {{dLeftHz, 0.4}};
    station.station.right = {{dRightHz, 0.4}};
    if (pName[0] != '\0') {
        CRdsEncoder::SStation rds;
        rds.nPi = 0xC0DE;
        rds.strName = pName;
        station.station.rds = CRdsEncoder(rds).Cycle();
    }
    return station;
}

SSimSdrStation AmStation(double dHz, double dToneHz) {
    SSimSdrStation station;
    station.dHz = dHz;
    station.station.bAm = true;
    station.station.left = {{dToneHz, 0.4}};
    return station;
}

// A tone's amplitude in one channel of interleaved frames.
double Amplitude(const std::vector<int16_t>& frames, size_t nChannel, double dHz) {
    std::complex<double> sum;
    const size_t nFrames = frames.size() / 2;
    for (size_t n = 0; n < nFrames; ++n) {
        sum += static_cast<double>(frames[2 * n + nChannel]) *
               std::polar(1.0, -2 * std::numbers::pi * dHz * static_cast<double>(n) / 48000);
    }
    return 2 * std::abs(sum) / static_cast<double>(nFrames) / 32767;
}

class SdrReceiverTest : public ::testing::Test {
protected:
    SdrReceiverTest() {
        m_profile.WriteProfileInt("SET", "BAND", 0);  // Europe: 87.5-108 MHz
        SSimSdrLayout layout;
        layout.stations = {Station(88.1e6, "KESTREL", 1000, 2000), Station(90.0e6, "", 500, 500),
                           Station(94.7e6, "JAZZ FM", 1500, 3000), AmStation(594e3, 1000),
                           AmStation(954e3, 1500)};
        m_nDongle = m_sdr.AddDongle(layout);
        MakeReceiver();
    }
    void MakeReceiver() {
        m_pReceiver = std::make_unique<CSdrReceiver>(SSdrReceiverServices{m_sdr, m_output, kRate},
                                                     m_profile, m_clock);
        m_pReceiver->LoadBandPlan();
        m_pReceiver->SetBand(CReceiver::BAND_FM);
    }
    // A second of the audio the recorder would get.
    std::vector<int16_t> Listen() {
        std::unique_ptr<CAudioFeed::CReader> pReader = Receiver().AudioFeed()->OpenReader();
        std::vector<int16_t> frames(2 * 48000);
        size_t nGot = 0;
        while (nGot < 48000) {
            const size_t n = pReader->Read(frames.data() + 2 * nGot, 48000 - nGot, 1s);
            if (n == 0) {
                ADD_FAILURE() << "the audio stopped";
                break;
            }
            nGot += n;
        }
        return frames;
    }
    void TearDown() override {
        m_pReceiver->JoinSeek();
        m_pReceiver->Close();
    }
    CSdrReceiver& Receiver() { return *m_pReceiver; }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CSystemClock m_clock;
    CWindow m_window;
    CSimSdrServices m_sdr;
    CSimAudioOutputServices m_output;
    int m_nDongle = 0;
    std::unique_ptr<CSdrReceiver> m_pReceiver;
};

TEST_F(SdrReceiverTest, ATunedStationIsHeardInStereoAndNamedByItsRds) {
    ASSERT_EQ(Receiver().CountDevices(), 1);
    EXPECT_EQ(Receiver().Devices().at(0).strName, "Simulated RTL-SDR");
    ASSERT_TRUE(Receiver().Open(&m_window));
    EXPECT_TRUE(Receiver().HasBand(CReceiver::BAND_FM));
    ASSERT_TRUE(Receiver().Tune(8810));
    EXPECT_TRUE(WaitUntil([&] { return Receiver().Reading().strStation == "KESTREL"; }, 10s))
        << Receiver().Reading().strStation;
    EXPECT_TRUE(Receiver().Reading().bStereo);
    EXPECT_GT(Receiver().Reading().nSignal, 50);
    EXPECT_EQ(m_output.Playing(), 1) << "listened to while open and not muted";

    // Its left and right, through the feed the recorder reads.
    const std::vector<int16_t> frames = Listen();
    EXPECT_GT(Amplitude(frames, 0, 1000), 10 * Amplitude(frames, 0, 2000));
    EXPECT_GT(Amplitude(frames, 1, 2000), 10 * Amplitude(frames, 1, 1000));

    // Off the air between stations: no signal, no name.
    ASSERT_TRUE(Receiver().Tune(8930));
    EXPECT_TRUE(WaitUntil([&] { return Receiver().Reading().nSignal < 20; }, 5s))
        << Receiver().Reading().nSignal;
    EXPECT_EQ(Receiver().Reading().strStation, "");
}

// The station test on the IQ stops on each station, skipping the empty
// channels and those next to a station, and retunes the dongle where a
// station lies outside its span.
TEST_F(SdrReceiverTest, SeekLandsOnEachStationInTurn) {
    ASSERT_TRUE(Receiver().Open(&m_window));
    Receiver().Tune(8750);
    for (const unsigned nStation : {8810u, 9000u, 9470u}) {
        ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
        ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 60s));
        EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), nStation);
    }
    EXPECT_EQ(m_window.m_nSeekFound.load(), 3);
}

// Medium wave through the dongle's direct sampling: the carrier's station
// test finds each station, and its programme is on both channels.
TEST_F(SdrReceiverTest, AmStationsAreFoundAndHeardThroughDirectSampling) {
    ASSERT_TRUE(Receiver().Open(&m_window));
    ASSERT_TRUE(Receiver().HasBand(CReceiver::BAND_AM));
    Receiver().SetBand(CReceiver::BAND_AM);
    ASSERT_TRUE(Receiver().Tune(531));
    EXPECT_LT(m_sdr.CenterOf(m_nDongle), 30e6);
    for (const unsigned nStation : {594u, 954u}) {
        ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
        ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 60s));
        EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_AM), nStation);
    }
    ASSERT_TRUE(Receiver().Tune(594));
    EXPECT_TRUE(WaitUntil([&] { return Receiver().Reading().nSignal > 50; }, 5s));
    EXPECT_FALSE(Receiver().Reading().bStereo);
    const std::vector<int16_t> frames = Listen();
    EXPECT_NEAR(Amplitude(frames, 0, 1000), 0.4, 0.05);
    EXPECT_NEAR(Amplitude(frames, 1, 1000), 0.4, 0.05);

    // Back to FM: the tuner again, the stations there.
    Receiver().SetBand(CReceiver::BAND_FM);
    ASSERT_TRUE(Receiver().Tune(8810));
    EXPECT_GT(m_sdr.CenterOf(m_nDongle), 80e6);
    EXPECT_TRUE(WaitUntil([&] { return Receiver().Reading().strStation == "KESTREL"; }, 10s));
}

// Without direct sampling AM needs an upconverter, which the options name.
TEST_F(SdrReceiverTest, AmWithoutDirectSamplingGoesThroughTheUpconverter) {
    SSimSdrLayout layout;
    layout.strSerial = "NO-HF";
    layout.dDirectLowHz = layout.dDirectHighHz = 0;
    layout.stations = {AmStation(594e3, 1000)};
    m_sdr.Unplug(m_nDongle);
    const int nPlain = m_sdr.AddDongle(layout);
    ASSERT_TRUE(Receiver().Open(&m_window));
    EXPECT_FALSE(Receiver().HasBand(CReceiver::BAND_AM));
    Receiver().Close();
    m_sdr.Unplug(nPlain);

    layout.strSerial = "HAM-IT-UP";
    layout.dUpconverterHz = 125e6;
    const int nShifted = m_sdr.AddDongle(layout);
    m_profile.WriteProfileString("SET", "SDRUPCONVERTER", "125000000");
    MakeReceiver();
    ASSERT_TRUE(Receiver().Open(&m_window));
    ASSERT_TRUE(Receiver().HasBand(CReceiver::BAND_AM));
    Receiver().SetBand(CReceiver::BAND_AM);
    ASSERT_TRUE(Receiver().Tune(594));
    EXPECT_NEAR(m_sdr.CenterOf(nShifted), 125.594e6 + kRate / 4, 1);
    EXPECT_TRUE(WaitUntil([&] { return Receiver().Reading().nSignal > 50; }, 5s));
    EXPECT_NEAR(Amplitude(Listen(), 0, 1000), 0.4, 0.05);
}

TEST_F(SdrReceiverTest, AnUnpluggedDongleIsToldAndCountedOut) {
    ASSERT_TRUE(Receiver().Open(&m_window));
    Receiver().Tune(8810);
    m_sdr.Unplug(m_nDongle);
    EXPECT_TRUE(WaitUntil([&] { return m_window.m_nDeviceChanges.load() > 0; }, 5s));
    EXPECT_EQ(Receiver().CountDevices(), 0);
    Receiver().Close();
    EXPECT_EQ(m_sdr.OpenDevices(m_nDongle), 0);
    m_sdr.Plug(m_nDongle);
    EXPECT_EQ(Receiver().CountDevices(), 1);
    ASSERT_TRUE(Receiver().Open(&m_window));
}

}  // namespace
