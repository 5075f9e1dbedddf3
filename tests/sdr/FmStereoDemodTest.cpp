#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "platform/sdr/FmStereoSynth.h"
#include "sdr/Deemphasis.h"
#include "sdr/FmStereoDemod.h"
#include "tests/sdr/DemodulatedAudio.h"

namespace {

constexpr double kRate = 2'400'000;
constexpr int kAudioRate = 48000;
constexpr double kOffset = 400'000;  // a quarter of the span off the DC spike
constexpr size_t kBlock = 65536;     // as a dongle hands them over

using Station = CFmStereoSynth::SStation;

// The 1 kHz left, 2 kHz right of the stereo test vectors.
Station TestVectors(double dOffset = kOffset) {
    Station station;
    station.dOffsetHz = dOffset;
    station.left = {{1000, 0.5}};
    station.right = {{2000, 0.5}};
    return station;
}

class CChain {
public:
    CChain(std::vector<Station> stations, CFmStereoDemod::SConfig config = {})
        : m_synth(kRate, std::move(stations)), m_demod(Configured(config)) {}

    // Demodulates the next dSeconds of the stations.
    SAudio Run(double dSeconds) {
        std::vector<float> interleaved;
        size_t nLeft = static_cast<size_t>(dSeconds * kRate);
        std::vector<std::complex<float>> iq;
        while (nLeft > 0) {
            const size_t n = std::min(nLeft, kBlock);
            m_synth.Generate(iq, n);
            m_demod.Process(iq, interleaved);
            nLeft -= n;
        }
        return SAudio::Split(interleaved);
    }
    CFmStereoDemod& Demod() { return m_demod; }

private:
    static CFmStereoDemod::SConfig Configured(CFmStereoDemod::SConfig config) {
        config.dInputRate = kRate;
        config.nAudioRate = kAudioRate;
        if (config.dOffsetHz == 0) {
            config.dOffsetHz = kOffset;
        }
        return config;
    }

    CFmStereoSynth m_synth;
    CFmStereoDemod m_demod;
};

TEST(FmStereoDemodTest, EachChannelCarriesItsOwnToneOnceThePilotLocks) {
    CChain chain({TestVectors()});
    chain.Run(0.1);
    EXPECT_TRUE(chain.Demod().Pilot().Locked()) << "within 100 ms of the tune";
    EXPECT_TRUE(chain.Demod().Stereo());
    EXPECT_NEAR(chain.Demod().Pilot().Level(), 1.0, 0.1);

    const SAudio audio = chain.Run(0.4);
    const double dLeft = Amplitude(audio.left, 1000);
    const double dRight = Amplitude(audio.right, 2000);
    EXPECT_NEAR(dLeft, 0.5 * CDeemphasis::CurveGain(1000, 50), 0.03);
    EXPECT_NEAR(dRight, 0.5 * CDeemphasis::CurveGain(2000, 50), 0.03);
    EXPECT_GT(Db(dLeft / Amplitude(audio.left, 2000)), 30) << "separation, left";
    EXPECT_GT(Db(dRight / Amplitude(audio.right, 1000)), 30) << "separation, right";
}

// Another station a few hundred kilohertz away is filtered out of the channel.
TEST(FmStereoDemodTest, TheNeighbourStationIsNotHeard) {
    Station neighbour;
    neighbour.dOffsetHz = kOffset - 400'000;
    neighbour.left = neighbour.right = {{5000, 0.5}};
    CChain chain({TestVectors(), neighbour});
    const SAudio audio = chain.Run(0.4);
    EXPECT_GT(Db(Amplitude(audio.left, 1000) / Amplitude(audio.left, 5000)), 40);
}

TEST(FmStereoDemodTest, WithoutAPilotOrWhenMonoIsAskedBothChannelsCarryTheSum) {
    Station mono;
    mono.dOffsetHz = kOffset;
    mono.bPilot = false;
    mono.left = mono.right = {{1000, 0.5}};
    CChain plain({mono});
    SAudio audio = plain.Run(0.4);
    EXPECT_FALSE(plain.Demod().Stereo());
    EXPECT_NEAR(Db(Amplitude(audio.left, 1000) / (0.5 * CDeemphasis::CurveGain(1000, 50))), 0, 0.5);
    EXPECT_NEAR(Db(Amplitude(audio.left, 1000) / Amplitude(audio.right, 1000)), 0, 0.1);

    CFmStereoDemod::SConfig config;
    config.bForceMono = true;
    CChain forced({TestVectors()}, config);
    audio = forced.Run(0.4);
    EXPECT_FALSE(forced.Demod().Stereo());
    EXPECT_TRUE(forced.Demod().Pilot().Locked());
    for (const double dHz : {1000.0, 2000.0}) {
        EXPECT_NEAR(Db(Amplitude(audio.left, dHz) / Amplitude(audio.right, dHz)), 0, 0.1) << dHz;
    }
}

// A weak pilot is no stereo: mono rather than a noisy difference.
TEST(FmStereoDemodTest, AWeakPilotFallsBackToMono) {
    Station weak = TestVectors();
    weak.dPilotShare = 0.02;
    CChain chain({weak});
    chain.Run(0.3);
    EXPECT_FALSE(chain.Demod().Stereo());
}

TEST(FmStereoDemodTest, DeemphasisFollowsTheCurveAtOneFiveAndTenKilohertz) {
    for (const double dTau : {50.0, 75.0}) {
        Station flat;
        flat.dOffsetHz = kOffset;
        flat.bPilot = false;
        flat.left = flat.right = {{100, 0.2}, {1000, 0.2}, {5000, 0.2}, {10000, 0.2}};
        CFmStereoDemod::SConfig config;
        config.dDeemphasisUs = dTau;
        CChain chain({flat}, config);
        const SAudio audio = chain.Run(0.4);
        const double dReference = Amplitude(audio.left, 100) / CDeemphasis::CurveGain(100, dTau);
        for (const double dHz : {1000.0, 5000.0, 10000.0}) {
            const double dMeasured = Amplitude(audio.left, dHz) / dReference;
            EXPECT_NEAR(Db(dMeasured / CDeemphasis::CurveGain(dHz, dTau)), 0, 1.0)
                << dHz << " Hz at " << dTau << " us";
        }
    }
}

}  // namespace
