// Records from the simulated capture source in each format at each quality,
// as demo mode does, and reports the CPU time spent per second of audio and
// the peak memory of the process. Usage: media_bench [seconds per recording]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/dialogs/SimMessageBoxes.h"
#include "platform/media/SimMediaServices.h"
#include "record/AudioGraph.h"
#include "sim/receiver/SimProgramme.h"
#include "sim/receiver/SimProgrammeFeed.h"
#include "tests/support/TempDir.h"

namespace {

// A station all the time: the synthesiser's most expensive path.
class CSteadyStation : public CSimProgrammeSource {
public:
    SSimProgramme CurrentProgramme() const override { return {false, true, 3, 523.25, 0.7}; }
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    const int nSeconds = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 30;
    CTempDir dir;
    if (dir.Path().empty()) {
        std::fprintf(stderr, "no scratch folder\n");
        return 1;
    }
    CSimMessageBoxes boxes;
    CSteadyStation station;
    CSimProgrammeFeed programme(&station);
    CSimMediaServices media;
    media.SetCaptureFeed(programme.Feed());
    media.SetRealAudioOutput(false);
    CAudioGraph graph(media, boxes);
    graph.Open(nullptr);

    double dWorstWav = 0.0;
    double dWorstWma = 0.0;
    for (const bool bWav : {true, false}) {
        for (int nQuality = 0; nQuality <= 2; ++nQuality) {
            const std::string path =
                (dir.Path() / ("q" + std::to_string(nQuality) + (bWav ? ".wav" : ".wma"))).string();
            graph.SetRecordFile(path);
            graph.SetQuality(nQuality);
            const double dCpuBefore = CpuSeconds();
            if (!graph.StartRecording(bWav)) {
                std::fprintf(stderr, "recording to %s does not start\n", path.c_str());
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::seconds(nSeconds));
            graph.StopRecording();
            const double dShare = 100.0 * (CpuSeconds() - dCpuBefore) / nSeconds;
            (bWav ? dWorstWav : dWorstWma) = std::max(bWav ? dWorstWav : dWorstWma, dShare);
            std::printf("%s quality %d: %.3f%% of one core, %.1f KB written\n",
                        bWav ? "WAV" : "WMA", nQuality, dShare,
                        std::filesystem::file_size(path) / 1024.0);
            std::fflush(stdout);
        }
    }
    std::printf(
        "worst CPU per second of audio: WAV %.3f%%, WMA %.3f%% of one core; peak memory %.1f MB\n",
        dWorstWav, dWorstWma, PeakMegabytes());
    return 0;
}
