// The SDR receiver's FM chain on synthesized IQ: a stereo station (1 kHz
// left, 2 kHz right) with RDS at 2.4 Msps, a quarter of the span off the
// centre, demodulated with its RDS on one thread. Prints how many times
// faster than real time it runs (target: 10), how soon the pilot locks
// after a tune (target: 100 ms), the stereo separation (target: 30 dB), and
// the RDS block error rate against the carrier-to-noise ratio from 10 to
// 30 dB, the audio's signal to noise and distortion on a clean station
// (target: 50 dB) and how soon the station's name is whole at 20 dB CNR
// (target: 2 s); the last line has the speed, lock, separation and SNR.
//
//   sdr_bench [seconds of IQ (4)]
//   sdr_bench --write-iq FILE SECONDS   the station as cf32, for other programs
//   sdr_bench --iq-file FILE            demodulates FILE, prints the time taken
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "platform/rds/RdsDecoder.h"
#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/FmStereoSynth.h"
#include "sdr/AmDemod.h"
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

// The noise for a carrier-to-noise ratio in the 200 kHz channel.
double NoiseFor(double dCnrDb) {
    return std::sqrt(std::pow(10.0, -dCnrDb / 10) * kRate / 200'000);
}

// The share of blocks beyond mending, over 3 s of the station at a CNR.
double BlockErrorRate(double dCnrDb) {
    CFmStereoSynth synth(kRate, {Station()}, NoiseFor(dCnrDb), 5);
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

// Signal to noise and distortion of the left channel's 1 kHz tone over the
// last second: what is left once the tone is taken out is the noise.
double AudioSnrDb() {
    CFmStereoSynth::SStation station = Station();
    station.right = station.left;  // the same programme: no crosstalk to count
    CFmStereoSynth synth(kRate, {station}, NoiseFor(60), 9);
    CFmStereoDemod demod(Config());
    std::vector<std::complex<float>> iq;
    std::vector<float> audio;
    for (size_t nDone = 0; nDone < static_cast<size_t>(2 * kRate); nDone += kBlock) {
        synth.Generate(iq, kBlock);
        demod.Process(iq, audio);
    }
    const size_t nFrames = audio.size() / 2;
    const size_t nFirst = nFrames - kAudioRate;
    std::complex<double> sum;
    for (size_t n = 0; n < static_cast<size_t>(kAudioRate); ++n) {
        const double dPhase = -2 * std::numbers::pi * 1000 * static_cast<double>(n) / kAudioRate;
        sum += static_cast<double>(audio[2 * (nFirst + n)]) * std::polar(1.0, dPhase);
    }
    const std::complex<double> tone = 2.0 * sum / static_cast<double>(kAudioRate);
    double dTone = 0;
    double dRest = 0;
    for (size_t n = 0; n < static_cast<size_t>(kAudioRate); ++n) {
        const double dPhase = 2 * std::numbers::pi * 1000 * static_cast<double>(n) / kAudioRate;
        const double dFit = std::real(tone * std::polar(1.0, dPhase));
        const double dResidual = audio[2 * (nFirst + n)] - dFit;
        dTone += dFit * dFit;
        dRest += dResidual * dResidual;
    }
    return 10 * std::log10(dTone / std::max(dRest, 1e-30));
}

// Seconds of the station until its name is whole, at a CNR; -1 for never
// within 10 s.
double SecondsToName(double dCnrDb) {
    CFmStereoSynth synth(kRate, {Station()}, NoiseFor(dCnrDb), 11);
    CFmStereoDemod demod(Config());
    CRdsDemod rds(demod.MpxRate());
    CRdsDecoder decoder;
    std::vector<std::complex<float>> iq;
    std::vector<float> audio;
    std::vector<SRdsBlock> blocks;
    constexpr size_t kStep = 24'000;  // 10 ms
    for (size_t nDone = 0; nDone < static_cast<size_t>(10 * kRate); nDone += kStep) {
        synth.Generate(iq, kStep);
        audio.clear();
        demod.Process(iq, audio);
        blocks.clear();
        rds.Process(demod.Multiplex(), blocks);
        for (const SRdsBlock& block : blocks) {
            decoder.Add(block);
        }
        if (decoder.Station() == "KESTREL") {
            return static_cast<double>(nDone + kStep) / kRate;
        }
    }
    return -1;
}

// Times real time of the AM chain at 2.4 Msps (direct sampling's rate).
double AmSpeed() {
    CFmStereoSynth::SStation station;
    station.bAm = true;
    station.dOffsetHz = kOffset;
    station.left = {{1000, 0.5}};
    CFmStereoSynth synth(kRate, {station}, 0.01);
    std::vector<std::vector<std::complex<float>>> blocks(static_cast<size_t>(2 * kRate / kBlock));
    for (auto& block : blocks) {
        synth.Generate(block, kBlock);
    }
    CAmDemod::SConfig config;
    config.dInputRate = kRate;
    config.dOffsetHz = kOffset;
    CAmDemod demod(config);
    std::vector<float> audio;
    const auto started = std::chrono::steady_clock::now();
    for (const auto& block : blocks) {
        audio.clear();
        demod.Process(block, audio);
    }
    const double dElapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return static_cast<double>(blocks.size() * kBlock) / kRate / dElapsed;
}

int WriteIq(const char* pPath, double dSeconds) {
    CFmStereoSynth synth(kRate, {Station()}, 0.01);
    std::ofstream file(pPath, std::ios::binary);
    std::vector<std::complex<float>> iq;
    for (size_t nLeft = static_cast<size_t>(dSeconds * kRate); nLeft > 0 && file;) {
        const size_t n = std::min(nLeft, kBlock);
        synth.Generate(iq, n);
        file.write(reinterpret_cast<const char*>(iq.data()),
                   static_cast<std::streamsize>(n * sizeof(iq[0])));
        nLeft -= n;
    }
    if (!file) {
        std::fprintf(stderr, "sdr_bench: cannot write %s\n", pPath);
        return 1;
    }
    return 0;
}

// The file read and demodulated, FM stereo and RDS, as the receiver would.
int DemodulateFile(const char* pPath) {
    std::ifstream file(pPath, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "sdr_bench: cannot read %s\n", pPath);
        return 1;
    }
    CFmStereoDemod demod(Config());
    CRdsDemod rds(demod.MpxRate());
    CRdsDecoder decoder;
    std::vector<std::complex<float>> iq(kBlock);
    std::vector<float> audio;
    std::vector<SRdsBlock> blocks;
    size_t nSamples = 0;
    const auto started = std::chrono::steady_clock::now();
    while (file.read(reinterpret_cast<char*>(iq.data()),
                     static_cast<std::streamsize>(iq.size() * sizeof(iq[0]))) ||
           file.gcount() > 0) {
        const size_t nRead = static_cast<size_t>(file.gcount()) / sizeof(iq[0]);
        audio.clear();
        demod.Process(std::span(iq.data(), nRead), audio);
        blocks.clear();
        rds.Process(demod.Multiplex(), blocks);
        for (const SRdsBlock& block : blocks) {
            decoder.Add(block);
        }
        nSamples += nRead;
    }
    const double dElapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("station %s, %.1f s of IQ\n", decoder.Station().c_str(),
                static_cast<double>(nSamples) / kRate);
    std::printf("%.3f\n", dElapsed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 3 && std::strcmp(argv[1], "--write-iq") == 0) {
        return WriteIq(argv[2], std::atof(argv[3]));
    }
    if (argc > 2 && std::strcmp(argv[1], "--iq-file") == 0) {
        return DemodulateFile(argv[2]);
    }
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
    const double dSnr = AudioSnrDb();
    std::printf("AM at 2.4 Msps: %.1fx real time\n", AmSpeed());
    std::printf("station name whole after %.2f s at 20 dB CNR\n", SecondsToName(20));
    std::printf("pilot locked within %.1f ms (to the block), separation %.1f dB\n", dLockMs,
                dSeparation);
    std::printf("%.1fx real time, pilot lock %.1f ms, separation %.1f dB, audio SNR %.1f dB\n",
                dSpeed, dLockMs, dSeparation, dSnr);
}
