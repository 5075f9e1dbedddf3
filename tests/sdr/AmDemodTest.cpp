#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "platform/sdr/FmStereoSynth.h"
#include "sdr/AmDemod.h"
#include "tests/sdr/DemodulatedAudio.h"

namespace {

constexpr double kRate = 2'400'000;
constexpr int kAudioRate = 48000;
constexpr double kOffset = 600'000;
constexpr size_t kBlock = 65536;

using Station = CFmStereoSynth::SStation;

Station AmStation(double dOffset, double dToneHz, double dDepth, double dLevel = 1.0) {
    Station station;
    station.bAm = true;
    station.dOffsetHz = dOffset;
    station.left = {{dToneHz, dDepth}};
    station.dLevel = dLevel;
    return station;
}

SAudio Demodulate(std::vector<Station> stations, double dSeconds, double dChannelHz = 9000,
                  double dNoise = 0) {
    CFmStereoSynth synth(kRate, std::move(stations), dNoise);
    CAmDemod::SConfig config;
    config.dInputRate = kRate;
    config.dOffsetHz = kOffset;
    config.nAudioRate = kAudioRate;
    config.dChannelHz = dChannelHz;
    CAmDemod demod(config);
    std::vector<float> interleaved;
    std::vector<std::complex<float>> iq;
    for (size_t nLeft = static_cast<size_t>(dSeconds * kRate); nLeft > 0;) {
        const size_t n = std::min(nLeft, kBlock);
        synth.Generate(iq, n);
        demod.Process(iq, interleaved);
        nLeft -= n;
    }
    return SAudio::Split(interleaved);
}

}  // namespace

// The AGC holds the carrier: the depth comes out whatever the signal's level.
TEST(AmDemodTest, TheToneComesOutAtItsDepthOnBothChannelsStrongOrWeak) {
    for (const double dLevel : {1.0, 0.02}) {
        const SAudio audio = Demodulate({AmStation(kOffset, 1000, 0.5, dLevel)}, 0.6);
        EXPECT_NEAR(Amplitude(audio.left, 1000), 0.5, 0.03) << dLevel;
        EXPECT_NEAR(Amplitude(audio.right, 1000), 0.5, 0.03) << dLevel;
        EXPECT_LT(Amplitude(audio.left, 2000), 0.01) << "an envelope detector's distortion";
    }
}

// The next channel (9 kHz away in Europe and Japan, 10 in the Americas) is
// filtered out, and so are programme tones beyond half the channel.
TEST(AmDemodTest, TheChannelFilterFollowsTheStandardsSpacing) {
    for (const double dSpacing : {9000.0, 10000.0}) {
        const SAudio audio =
            Demodulate({AmStation(kOffset, 1000, 0.5), AmStation(kOffset + dSpacing, 700, 0.8)},
                       0.6, dSpacing);
        EXPECT_NEAR(Amplitude(audio.left, 1000), 0.5, 0.05) << dSpacing;
        EXPECT_LT(Db(Amplitude(audio.left, dSpacing) / 0.5), -40) << "the carriers' beat";
        EXPECT_LT(Db(Amplitude(audio.left, 700) / 0.5), -40) << "the neighbour's programme";
    }
    const SAudio wide = Demodulate({AmStation(kOffset, 7000, 0.5)}, 0.6);
    EXPECT_LT(Db(Amplitude(wide.left, 7000) / 0.5), -30);
}

// An empty channel is noise at a bounded level, not the AGC's full gain.
TEST(AmDemodTest, AnEmptyChannelStaysQuiet) {
    const SAudio audio = Demodulate({}, 0.4, 9000, 1e-4);
    double dPeak = 0;
    for (size_t n = audio.left.size() / 2; n < audio.left.size(); ++n) {
        dPeak = std::max(dPeak, static_cast<double>(std::abs(audio.left[n])));
    }
    EXPECT_LT(dPeak, 1.0);
}
