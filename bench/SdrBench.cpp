// The SDR receiver's FM chain on synthesized IQ: a stereo station (1 kHz
// left, 2 kHz right) with RDS at 2.4 Msps, a quarter of the span off the
// centre, demodulated with its RDS on one thread. Prints how many times
// faster than real time it runs (target: 10), how soon the pilot locks
// after a tune (target: 100 ms), the stereo separation (target: 30 dB), and
// the RDS block error rate against the carrier-to-noise ratio from 10 to
// 30 dB; the last line has the first three.
//
//   sdr_bench [seconds of IQ (4)]
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/FmStereoSynth.h"
#include "sdr/FmStereoDemod.h"
#include "sdr/RdsDemod.h"

namespace {

constexpr double kRate = 2'400'000;
constexpr int kAudioRate = 48000;
constexpr double kOffset = 600'000;
constexpr size_t kBlock = 65536;

double Amplitude(const std::vector<float>& interleaved, size_t nChannel, double dHz) {
    const size_t nCount = kAudioRate / 5;
    const size_t nFrames = interleaved.size() / 2;
    std::complex<double> sum;
    for (size_t n = 0; n < nCount; ++n) {
        const double dPhase = -2 * std::numbers::pi * dHz * static_cast<double>(n) / kAudioRate;
        sum += static_cast<double>(interleaved[2 * (nFrames - nCount + n) + nChannel]) *
               std::polar(1.0, dPhase);
    }
    return 2 * std::abs(sum) / static_cast<double>(nCount);
}

CFmStereoSynth::SStation Station() {
    CFmStereoSynth::SStation station;
    station.dOffsetHz = kOffset;
    station.left = {{1000, 0.5}};
    station.right = {{2000, 0.5}};
    CRdsEncoder::SStation rds;
    rds.nPi = 0xC0DE;
    rds.strName = "KESTREL";
    rds.strText = "Night flight: ambient until dawn";
    station.rds = CRdsEncoder(rds).Cycle();
    return station;
}

CFmStereoDemod::SConfig Config() {
    CFmStereoDemod::SConfig config;
    config.dInputRate = kRate;
    config.dOffsetHz = kOffset;
    config.nAudioRate = kAudioRate;
    return config;
}

// The share of blocks beyond mending, over 3 s of the station at a CNR.
double BlockErrorRate(double dCnrDb) {
    const double dNoise = std::sqrt(std::pow(10.0, -dCnrDb / 10) * kRate / 200'000);
    CFmStereoSynth synth(kRate, {Station()}, dNoise, 5);
    CFmStereoDemod demod(Config());
    CRdsDemod rds(demod.MpxRate());
    std::vector<std::complex<float>> iq;
    std::vector<float> audio;
    std::vector<SRdsBlock> blocks;
    for (size_t nDone = 0; nDone < static_cast<size_t>(3 * kRate); nDone += kBlock) {
        synth.Generate(iq, kBlock);
        audio.clear();
        demod.Process(iq, audio);
        rds.Process(demod.Multiplex(), blocks);
    }
    size_t nBad = 0;
    for (const SRdsBlock& block : blocks) {
        nBad += block.bError ? 1 : 0;
    }
    // Blocks never found (no sync) count as lost too: 3 s is 137 blocks.
    const double dExpected = 3 * CRdsDemod::kBitRate / 26;
    return std::min(1.0, (static_cast<double>(nBad) +
                          std::max(0.0, dExpected - 1 - static_cast<double>(blocks.size()))) /
                             dExpected);
}

}  // namespace

int main(int argc, char** argv) {
    const double dSeconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 4.0;
    CFmStereoSynth synth(kRate, {Station()}, 0.01);
    std::vector<std::vector<std::complex<float>>> blocks;
    for (size_t nLeft = static_cast<size_t>(dSeconds * kRate); nLeft > 0;) {
        const size_t n = std::min(nLeft, kBlock);
        blocks.emplace_back();
        synth.Generate(blocks.back(), n);
        nLeft -= n;
    }

    CFmStereoDemod demod(Config());
    CRdsDemod rds(demod.MpxRate());
    std::vector<SRdsBlock> rdsBlocks;
    std::vector<float> audio;
    double dLockMs = -1;
    size_t nDone = 0;
    const auto started = std::chrono::steady_clock::now();
    for (const auto& block : blocks) {
        demod.Process(block, audio);
        rds.Process(demod.Multiplex(), rdsBlocks);
        nDone += block.size();
        if (dLockMs < 0 && demod.Stereo()) {
            dLockMs = 1000.0 * static_cast<double>(nDone) / kRate;
        }
    }
    const double dElapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double dSpeed = dSeconds / dElapsed;
    const double dSeparation =
        20 * std::log10(Amplitude(audio, 0, 1000) / Amplitude(audio, 0, 2000));
    std::printf("%.1f s of 2.4 Msps FM stereo with RDS demodulated in %.3f s on one thread\n",
                dSeconds, dElapsed);
    for (const double dCnr : {10.0, 15.0, 20.0, 25.0, 30.0}) {
        std::printf("RDS block error rate at %.0f dB CNR: %.3f\n", dCnr, BlockErrorRate(dCnr));
    }
    std::printf("pilot locked within %.1f ms (to the block), separation %.1f dB\n", dLockMs,
                dSeparation);
    std::printf("%.1fx real time, pilot lock %.1f ms, separation %.1f dB\n", dSpeed, dLockMs,
                dSeparation);
}
