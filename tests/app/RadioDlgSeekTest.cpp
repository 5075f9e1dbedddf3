#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/RadioDlg.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"

namespace {

using namespace std::chrono_literals;

// The seek worker waits in its WM_SEEK_FOUND send for the window's thread,
// which is busy closing the window: the close must not wait for the worker.
TEST(RadioDlgSeekTest, ClosingWhileTheSeekWorkerWaitsOnTheWindowDoesNotHang) {
    CCoreRig rig;
    rig.UseRealClock();
    rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 8010, 1.0, true}});
    rig.Card();
    auto pWindow = std::make_unique<CRadioDlg>(rig.Services(), rig.m_profile, nullptr);
    ASSERT_TRUE(pWindow->Create());
    CTuner& tuner = pWindow->Core().m_tuner;
    tuner.StopSeek(8000);
    tuner.StartSeek(CTuner::SEEK_UP);
    std::this_thread::sleep_for(1500ms);
    // Found and tuned in normal mode; the worker now waits for this thread.
    ASSERT_EQ(rig.m_pReceiver->TunedState().nFrequency, 8010u);
    ASSERT_EQ(rig.m_pReceiver->TunedState().nMode, 0);
    ASSERT_TRUE(tuner.HasSeekThread());

    const auto start = std::chrono::steady_clock::now();
    pWindow->DestroyWindow();
    pWindow.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
