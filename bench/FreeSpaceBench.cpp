// The recorder reads the free space of the record folder's disk before every
// buffer of audio it hands the writer. Measures that check on the scratch
// folder's file system and reports its cost per buffer and its share of one
// core at 20 buffers a second (50 ms buffers). Usage: free_space_bench [calls]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/media/FreeSpaceWatch.h"
#include "tests/support/TempDir.h"

int main(int argc, char** argv) {
    const long nCalls = argc > 1 ? std::max(std::atol(argv[1]), 1L) : 200000;
    CTempDir dir;
    CFreeSpaceWatch watch;
    if (!watch.Open(dir.File("recording.wav"))) {
        std::fprintf(stderr, "the scratch folder cannot be watched\n");
        return 1;
    }
    unsigned long long nSum = 0;  // keeps the calls from being optimised away
    const auto start = std::chrono::steady_clock::now();
    for (long n = 0; n < nCalls; ++n) {
        nSum += watch.FreeBytes().value_or(0) & 1;
    }
    const double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double dNanoseconds = dSeconds * 1e9 / static_cast<double>(nCalls);
    std::printf("%ld checks on %s (%llu odd)\n", nCalls, dir.Path().c_str(), nSum);
    std::printf("free-space check: %.0f ns per buffer, %.5f%% of one core at 20 buffers/s\n",
                dNanoseconds, dNanoseconds * 20 / 1e9 * 100);
    return 0;
}
