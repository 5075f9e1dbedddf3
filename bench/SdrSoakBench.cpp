// An hour of an SDR recording, as fast as the machine goes: a dongle's IQ
// (a synthesized stereo station with RDS at 2.4 Msps, one second of it
// round and round) through the SDR radio (demodulation, RDS, the station
// test, silence for dropped samples) into the audio feed, and from the
// feed's reader into a file of samples in a temporary folder. Prints the resident
// size after the first minute, every ten minutes, and at the end; the last
// line is the growth from the first minute to the end (target: flat, a
// few hundred kilobytes at most).
//
//   sdr_soak_bench [minutes (60)]
#include <unistd.h>

#include <chrono>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/audio/AudioFeed.h"
#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/FedSdrDevice.h"
#include "platform/sdr/FmStereoSynth.h"
#include "receiver/SdrRadio.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kRate = 2'400'000;
constexpr size_t kBlock = 65536;

double ResidentMegabytes() {
    long nPages = 0;
    long nResident = 0;
    std::ifstream("/proc/self/statm") >> nPages >> nResident;
    return static_cast<double>(nResident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int nMinutes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 60;
    CFmStereoSynth::SStation station;
    station.dOffsetHz = -kRate / 4;
    station.left = {{1000, 0.4}};
    station.right = {{2000, 0.4}};
    CRdsEncoder::SStation rds;
    rds.nPi = 0xC0DE;
    rds.strName = "KESTREL";
    rds.strText = "An hour of the night programme";
    station.rds = CRdsEncoder(rds).Cycle();
    CFmStereoSynth synth(kRate, {station}, 0.01);
    std::vector<std::vector<std::complex<float>>> second(static_cast<size_t>(kRate) / kBlock + 1);
    for (auto& block : second) {
        synth.Generate(block, kBlock);
    }

    auto pDongle = std::make_unique<CFedSdrDevice>(kRate);
    CFedSdrDevice& dongle = *pDongle;
    std::string strWhy;
    std::unique_ptr<CSdrRadio> pRadio = CSdrRadio::Open(std::move(pDongle), {}, strWhy);
    if (!pRadio) {
        std::fprintf(stderr, "sdr_soak_bench: %s\n", strWhy.c_str());
        return 1;
    }
    uint32_t nTuned = 0;
    pRadio->SetFrequency(100'000'000, nTuned);
    auto pAudio = std::make_shared<CAudioFeed>(CAudioFeed::SFormat{48000, 2});
    std::unique_ptr<CAudioFeed::CReader> pReader = pAudio->OpenReader();
    {
        std::lock_guard lock(pRadio->AudioSlot()->mutex);
        pRadio->AudioSlot()->pFeed = pAudio;
    }
    CTempDir dir;
    std::ofstream wav(dir.File("soak.raw"), std::ios::binary);
    std::vector<int16_t> frames(2 * 48000);
    std::vector<SRdsBlock> blocks;

    const size_t nBlocksPerMinute = static_cast<size_t>(60 * kRate / kBlock);
    double dFirstMinute = 0;
    uint64_t nFrames = 0;
    const auto started = std::chrono::steady_clock::now();
    for (size_t nBlock = 0; nBlock < static_cast<size_t>(nMinutes) * nBlocksPerMinute; ++nBlock) {
        // An overflow every few minutes, as a busy USB bus gives them.
        const uint64_t nLost = nBlock % (3 * nBlocksPerMinute) == 1 ? kBlock : 0;
        dongle.Feed(second[nBlock % second.size()], nLost);
        while (const size_t nRead =
                   pReader->Read(frames.data(), 48000, std::chrono::milliseconds(0))) {
            wav.write(reinterpret_cast<const char*>(frames.data()),
                      static_cast<std::streamsize>(nRead * 4));
            nFrames += nRead;
        }
        blocks.clear();
        pRadio->ReadRds(blocks);
        const size_t nMinute = (nBlock + 1) / nBlocksPerMinute;
        if ((nBlock + 1) % nBlocksPerMinute != 0) {
            continue;
        }
        const double dResident = ResidentMegabytes();
        if (nMinute == 1) {
            dFirstMinute = dResident;
        }
        if (nMinute == 1 || nMinute % 10 == 0) {
            std::printf("minute %zu: resident %.2f MB, %.0f s of audio written\n", nMinute,
                        dResident, static_cast<double>(nFrames) / 48000);
        }
    }
    const double dElapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double dEnd = ResidentMegabytes();
    std::printf(
        "%d min of IQ in %.0f s; resident %.2f MB after the first minute, %.2f MB at the "
        "end; gaps %llu\n",
        nMinutes, dElapsed, dFirstMinute, dEnd,
        static_cast<unsigned long long>(pRadio->Gaps().nGaps.load()));
    std::printf("%+.2f MB\n", dEnd - dFirstMinute);
}
