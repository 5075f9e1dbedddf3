#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "platform/rds/RdsDecoder.h"
#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/FmStereoSynth.h"
#include "sdr/FmStereoDemod.h"
#include "sdr/RdsDemod.h"

namespace {

constexpr double kRate = 2'400'000;
constexpr double kOffset = -500'000;
constexpr size_t kBlock = 65536;
constexpr double kChannelHz = 200'000;

CFmStereoSynth::SStation RdsStation(bool bPilot = true) {
    CRdsEncoder::SStation rds;
    rds.nPi = 0xC0DE;
    rds.nPty = 10;
    rds.strName = "KESTREL";
    rds.strText = "Night flight: ambient until dawn";
    CFmStereoSynth::SStation station;
    station.dOffsetHz = kOffset;
    station.left = {{1000, 0.4}};
    station.right = {{2000, 0.4}};
    station.bPilot = bPilot;
    // As stations do, the name between every few text groups: name, half
    // the text, name, the other half.
    const std::vector<SRdsBlock> cycle = CRdsEncoder(rds).Cycle();
    const auto name = cycle.begin() + 16;
    const auto half = name + static_cast<long>((cycle.end() - name) / 8 * 4);
    for (const auto& [first, last] : {std::pair{name, half}, std::pair{half, cycle.end()}}) {
        station.rds.insert(station.rds.end(), cycle.begin(), name);
        station.rds.insert(station.rds.end(), first, last);
    }
    return station;
}

// The white noise over the whole span that leaves the channel at a CNR.
double NoiseFor(double dCnrDb) {
    return std::sqrt(std::pow(10.0, -dCnrDb / 10) * kRate / kChannelHz);
}

// Seconds of the air into the decoder; how long until the name was whole
// (negative: never).
double Listen(CFmStereoSynth& synth, CRdsDecoder& decoder, double dSeconds) {
    CFmStereoDemod::SConfig config;
    config.dInputRate = kRate;
    config.dOffsetHz = kOffset;
    CFmStereoDemod demod(config);
    CRdsDemod rds(demod.MpxRate());
    std::vector<std::complex<float>> iq;
    std::vector<float> audio;
    std::vector<SRdsBlock> blocks;
    double dNamed = -1;
    for (size_t nDone = 0; nDone < static_cast<size_t>(dSeconds * kRate); nDone += kBlock) {
        synth.Generate(iq, kBlock);
        audio.clear();
        demod.Process(iq, audio);
        blocks.clear();
        rds.Process(demod.Multiplex(), blocks);
        for (const SRdsBlock& block : blocks) {
            decoder.Add(block);
        }
        if (dNamed < 0 && decoder.Station() == "KESTREL") {
            dNamed = static_cast<double>(nDone + kBlock) / kRate;
        }
    }
    return dNamed;
}

TEST(RdsDemodTest, TheNameAndTextComeOffTheAir) {
    CFmStereoSynth synth(kRate, {RdsStation()});
    CRdsDecoder decoder;
    Listen(synth, decoder, 5.0);
    EXPECT_EQ(decoder.Pi(), 0xC0DE);
    EXPECT_EQ(decoder.Station(), "KESTREL");
    EXPECT_EQ(decoder.RadioText(), "Night flight: ambient until dawn");
    EXPECT_EQ(decoder.Pty(), 10);
}

TEST(RdsDemodTest, AMonoStationsRdsNeedsNoPilot) {
    CFmStereoSynth synth(kRate, {RdsStation(false)});
    CRdsDecoder decoder;
    Listen(synth, decoder, 3.0);
    EXPECT_EQ(decoder.Station(), "KESTREL");
}

TEST(RdsDemodTest, TheNameIsWholeWithinTwoSecondsAtTwentyDecibelsCnr) {
    CFmStereoSynth synth(kRate, {RdsStation()}, NoiseFor(20), 3);
    CRdsDecoder decoder;
    const double dNamed = Listen(synth, decoder, 2.0);
    EXPECT_GT(dNamed, 0) << "never named";
    EXPECT_LE(dNamed, 2.0);
}

}  // namespace
