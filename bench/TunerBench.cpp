// Time from CTuner::Tune to the register image arriving at the simulated
// receiver, through the device link and its read thread.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/clock/SystemClock.h"
#include "tests/tuner/TunerRig.h"

int main() {
    constexpr int kTunes = 10000;
    CSystemClock clock;
    CTunerRig rig(clock);
    rig.UsePlan(0);
    const size_t nBase = rig.m_pReceiver->ReportCount();
    std::vector<std::chrono::steady_clock::time_point> started(kTunes);
    for (int i = 0; i < kTunes; ++i) {
        started[i] = std::chrono::steady_clock::now();
        rig.m_tuner.Tune(i % 2 ? 8800 : 10000);
        rig.m_pReceiver->WaitForReports(nBase + i + 1, std::chrono::seconds(5));
    }
    const auto reports = rig.m_pReceiver->Reports();
    if (reports.size() < static_cast<size_t>(kTunes)) {
        std::printf("only %zu of %d images arrived\n", reports.size(), kTunes);
        return 1;
    }
    std::vector<double> micros;
    const size_t nFirst = reports.size() - kTunes;
    for (int i = 0; i < kTunes; ++i) {
        micros.push_back(
            std::chrono::duration<double, std::micro>(reports[nFirst + i].arrival - started[i])
                .count());
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%d tunes: Tune -> image at the receiver: median %.1f us, p99 %.1f us\n", kTunes,
                micros[kTunes / 2], micros[kTunes * 99 / 100]);
}
