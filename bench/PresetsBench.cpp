// Reads all 200 presets of a filled profile and finds the slot of a frequency
// held only by the last FM slot: what the main window does after a band
// change (keypad and preset sync) and the new task dialog does when it opens.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "presets/PresetStore.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRounds = 200;

}  // namespace

int main() {
    CTempDir dir;
    if (dir.Path().empty()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    CProfile profile((dir.Path() / "Kestrel.ini").string());
    CPresetStore store(profile);
    for (int n = 0; n < CPresetStore::kSlots; ++n) {
        const std::string title = "Station " + std::to_string(n);
        store.WriteSlot(CPresetStore::BAND_FM, n, (7600 + 10 * n) | CPresetStore::kFmBit, title);
        store.WriteSlot(CPresetStore::BAND_AM, n, 522 + 9 * n, title);
    }
    const unsigned lastFm = 7600 + 10 * (CPresetStore::kSlots - 1);

    std::vector<double> times;
    size_t nCheck = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int nBand : {CPresetStore::BAND_AM, CPresetStore::BAND_FM}) {
            for (int n = 0; n < CPresetStore::kSlots; ++n) {
                nCheck += store.ReadEntry(nBand, n).strTitle.size();
            }
        }
        nCheck += static_cast<size_t>(store.FindSlot(CPresetStore::BAND_FM, lastFm));
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    if (store.FindSlot(CPresetStore::BAND_FM, lastFm) != CPresetStore::kSlots - 1) {
        std::fprintf(stderr, "the last slot was not found\n");
        return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("rounds %d, checksum %zu, fastest %.3f ms, slowest %.3f ms\n", kRounds, nCheck,
                times.front(), times.back());
    std::printf("read 200 presets and find a slot: median %.3f ms\n", times[times.size() / 2]);
    return 0;
}
