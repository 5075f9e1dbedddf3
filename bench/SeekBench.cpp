// A full FM circle (87.50-108.00 MHz, no station) on the real clock against the
// sum of the dwell times, and the time from a station's measured IF count to
// WM_SEEK_FOUND.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/clock/SystemClock.h"
#include "tests/tuner/TunerRig.h"

namespace {

using Clock = std::chrono::steady_clock;

void WaitForEnd(CTuner& tuner) {
    while (tuner.HasSeekThread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

int main() {
    CSystemClock clock;
    CTunerRig rig(clock);
    rig.UsePlan(0);

    // One station next to the start: the IF count is read 100 ms after the
    // status request reached the receiver.
    rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 9010, 1.0, true}});
    Clock::time_point found;
    rig.m_window.m_onSeekFound = [&] { found = Clock::now(); };
    rig.m_tuner.StopSeek(9000);
    rig.m_tuner.StartSeek(CTuner::SEEK_UP);
    WaitForEnd(rig.m_tuner);
    Clock::time_point request{};
    for (const auto& report : rig.m_pReceiver->Reports()) {
        if (report.bytes[1] == 0x2A) {
            request = report.arrival;
        }
    }
    const double dFoundMs =
        std::chrono::duration<double, std::milli>(found - request).count() - 100.0;

    rig.m_pReceiver->SetStations({});
    rig.m_tuner.StopSeek(10800);
    const auto start = Clock::now();
    rig.m_tuner.StartSeek(CTuner::SEEK_UP);
    WaitForEnd(rig.m_tuner);
    const double dMeasured =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double dDwell = 204 * 110.0 + 2 * 500.0;

    std::printf("IF count read -> WM_SEEK_FOUND: %.2f ms\n", dFoundMs);
    std::printf("full FM circle: %.0f ms measured, %.0f ms of dwell\n", dMeasured, dDwell);
    std::printf("circle time / dwell time: %.4f\n", dMeasured / dDwell);
}
