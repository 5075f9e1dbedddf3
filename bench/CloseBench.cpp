// How long closing takes while a seek is under way: the core going while its
// worker walks the band (virtual clock), and the main window closing while
// the worker waits in its WM_SEEK_FOUND send for the window's thread (real
// clock). Runs on Qt's offscreen platform unless told otherwise.
//
//   close_bench [rounds (5)]
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/RadioDlg.h"
#include "tests/app/CoreRig.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

// -1 when the walk did not get under way.
double CoreTeardown() {
    CCoreRig rig;
    rig.m_pReceiver->SetStations({});
    CRadioCore& core = rig.Core();
    core.TuneTo(8000);
    rig.m_pReceiver->ClearReports();
    if (!core.StartSeek(CReceiver::SEEK_UP) || !rig.m_pReceiver->WaitForReports(8, 10s)) {
        return -1.0;
    }
    const auto start = Clock::now();
    rig.m_pCore.reset();
    return Milliseconds(Clock::now() - start);
}

double WindowClose() {
    CCoreRig rig;
    rig.UseRealClock();
    rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 8010, 1.0, true}});
    rig.Card();
    auto pWindow = std::make_unique<CRadioDlg>(rig.Services(), rig.m_profile, nullptr);
    if (!pWindow->Create()) {
        return -1.0;
    }
    CRadioCore& core = pWindow->Core();
    core.TuneTo(8000);
    core.StartSeek(CReceiver::SEEK_UP);
    const bool bWaiting = WaitUntil(
        [&] {
            const SSimTunedState tuned = rig.m_pReceiver->TunedState();
            return tuned.nFrequency == 8010u && tuned.nMode == 0;
        },
        10s);
    if (!bWaiting || !core.IsSeeking()) {
        return -1.0;
    }
    const auto start = Clock::now();
    pWindow->DestroyWindow();
    pWindow.reset();
    return Milliseconds(Clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int nRounds = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 5;
    double dWorstCore = 0.0;
    double dWorstWindow = 0.0;
    for (int n = 0; n < nRounds; ++n) {
        const double dCore = CoreTeardown();
        const double dWindow = WindowClose();
        if (dCore < 0 || dWindow < 0) {
            std::fprintf(stderr, "round %d: the seek did not get under way\n", n + 1);
            return 1;
        }
        std::printf("round %d: core %.1f ms, window %.1f ms\n", n + 1, dCore, dWindow);
        dWorstCore = std::max(dWorstCore, dCore);
        dWorstWindow = std::max(dWorstWindow, dWindow);
    }
    std::printf("core teardown during a seek, worst of %d: %.1f ms\n", nRounds, dWorstCore);
    std::printf("window close with the worker waiting, worst of %d: %.1f ms\n", nRounds,
                dWorstWindow);
}
