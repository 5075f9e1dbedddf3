#include <gtest/gtest.h>

#include <chrono>
#include <complex>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "platform/audio/AudioFeed.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SystemClock.h"
#include "platform/profile/Profile.h"
#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/FedSdrDevice.h"
#include "platform/sdr/FmStereoSynth.h"
#include "platform/sdr/IqFileServices.h"
#include "platform/sdr/SoapySdrServices.h"
#include "receiver/SdrRadio.h"
#include "receiver/SdrReceiver.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kRate = 960'000;

// What the dongle dropped (an overflow) is silence of its true length in
// the audio, so that a recording keeps its time.
TEST(SdrRadioTest, LostSamplesBecomeSilenceOfTheirLength) {
    auto pDongle = std::make_unique<CFedSdrDevice>(kRate);
    CFedSdrDevice& dongle = *pDongle;
    std::string strWhy;
    std::unique_ptr<CSdrRadio> pRadio = CSdrRadio::Open(std::move(pDongle), {}, strWhy);
    ASSERT_NE(pRadio, nullptr) << strWhy;
    uint32_t nTuned = 0;
    ASSERT_EQ(pRadio->SetFrequency(100'000'000, nTuned), EV4l2Status::Ok);
    auto pAudio = std::make_shared<CAudioFeed>(CAudioFeed::SFormat{48000, 2}, 200'000);
    std::unique_ptr<CAudioFeed::CReader> pReader = pAudio->OpenReader();
    {
        std::lock_guard lock(pRadio->AudioSlot()->mutex);
        pRadio->AudioSlot()->pFeed = pAudio;
    }

    CFmStereoSynth::SStation station;
    station.dOffsetHz = -kRate / 4;
    station.left = station.right = {{1000, 0.5}};
    CFmStereoSynth air(kRate, {station});
    std::vector<std::complex<float>> iq;
    air.Generate(iq, static_cast<size_t>(kRate / 10));
    dongle.Feed(iq);
    air.Generate(iq, static_cast<size_t>(kRate / 10));
    dongle.Feed(iq, static_cast<uint64_t>(kRate / 2));  // half a second dropped before this block

    std::vector<int16_t> frames(2 * 100'000);
    size_t nFrames = 0;
    while (const size_t n = pReader->Read(frames.data() + 2 * nFrames, 100'000 - nFrames,
                                          std::chrono::milliseconds(50))) {
        nFrames += n;
    }
    // 0.1 s, half a second of silence, 0.1 s (give or take the filters' delay).
    EXPECT_NEAR(static_cast<double>(nFrames), 0.7 * 48000, 0.02 * 48000);
    size_t nSilent = 0;
    for (size_t n = 0; n < 2 * nFrames; ++n) {
        nSilent += frames[n] == 0 ? 1 : 0;
    }
    EXPECT_GE(nSilent, static_cast<size_t>(2 * 0.5 * 48000));
    EXPECT_EQ(pRadio->Gaps().nGaps.load(), 1u);
    EXPECT_EQ(pRadio->Gaps().nFrames.load(), 24'000u);
}

// Without a dongle, the real SoapySDR path lists none (never the sound cards
// or servers its other modules find) and the receiver says there is none.
TEST(SdrRadioTest, WithoutADongleTheSoapySdrPathHasNoReceiver) {
    CSoapySdrServices soapy;
    for (const SSdrDeviceInfo& device : soapy.Enumerate()) {
        EXPECT_NE(device.strDriver, "audio");
        EXPECT_NE(device.strDriver, "remote");
        EXPECT_FALSE(device.strId.empty());
    }
    if (!soapy.Enumerate().empty()) {
        GTEST_SKIP() << "a dongle is plugged in here";
    }
    CTempDir dir;
    CProfile profile(dir.File("Kestrel.ini"));
    CSystemClock clock;
    CSimAudioOutputServices output;
    CSdrReceiver receiver({soapy, output}, profile, clock);
    EXPECT_EQ(receiver.CountDevices(), 0);
    EXPECT_FALSE(receiver.Open(nullptr));
    EXPECT_FALSE(receiver.Tune(9470));
}

// A recording of the air plays as the dongle it was made with: tuned within
// its span (the centre cannot move), its station is named by its RDS.
TEST(SdrRadioTest, AnIqRecordingIsTunedAndItsStationNamed) {
    CTempDir dir;
    CRdsEncoder::SStation rds;
    rds.nPi = 0xC0DE;
    rds.strName = "KESTREL";
    CFmStereoSynth::SStation station;
    station.dOffsetHz = 200'000;
    station.left = {{1000, 0.4}};
    station.right = {{2000, 0.4}};
    station.rds = CRdsEncoder(rds).Cycle();
    std::vector<std::complex<float>> iq;
    CFmStereoSynth(kRate, {station}, 0.05).Generate(iq, static_cast<size_t>(4 * kRate));
    const std::string strPath = dir.File("gqrx_20261209_183000_98300000_960000_fc.raw");
    std::ofstream(strPath, std::ios::binary)
        .write(reinterpret_cast<const char*>(iq.data()),
               static_cast<std::streamsize>(iq.size() * sizeof(iq[0])));

    CIqFileServices recording({strPath});
    CProfile profile(dir.File("Kestrel.ini"));
    profile.WriteProfileInt("SET", "BAND", 0);
    CSystemClock clock;
    CSimAudioOutputServices output;
    CSdrReceiver receiver({recording, output, kRate}, profile, clock);
    receiver.LoadBandPlan();
    receiver.SetBand(CReceiver::BAND_FM);
    ASSERT_EQ(receiver.CountDevices(), 1);
    ASSERT_TRUE(receiver.Open(nullptr));
    ASSERT_TRUE(receiver.Tune(9850));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (receiver.Reading().strStation != "KESTREL" && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(receiver.Reading().strStation, "KESTREL");
    EXPECT_TRUE(receiver.Reading().bStereo);
    EXPECT_FALSE(receiver.Tune(9000)) << "outside the recording's span";
    receiver.Close();
}

}  // namespace
