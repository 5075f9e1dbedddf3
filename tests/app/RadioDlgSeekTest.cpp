#include <gtest/gtest.h>

#include <QAbstractButton>

#include <chrono>
#include <memory>
#include <random>
#include <thread>

#include "app/RadioDlg.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// The seek worker waits in its WM_SEEK_FOUND send for the window's thread,
// which is busy closing the window: the close must not wait for the worker
// (a hang fails the suite's timeout; bench/CloseBench.cpp times the close).
TEST(RadioDlgSeekTest, ClosingWhileTheSeekWorkerWaitsOnTheWindowDoesNotHang) {
    CCoreRig rig;
    rig.UseRealClock();
    rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 8010, 1.0, true}});
    rig.Card();
    auto pWindow = std::make_unique<CRadioDlg>(rig.Services(), rig.m_profile, nullptr);
    ASSERT_TRUE(pWindow->Create());
    CTuner& tuner = rig.Tuner();
    tuner.StopSeek(8000);
    tuner.StartSeek(CTuner::SEEK_UP);
    // Found and tuned in normal mode; the worker then waits for this thread.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const SSimTunedState tuned = rig.m_pReceiver->TunedState();
            return tuned.nFrequency == 8010u && tuned.nMode == 0;
        },
        10s));
    ASSERT_TRUE(tuner.HasSeekThread());

    pWindow->DestroyWindow();
    pWindow.reset();
}

// The walk must not step the new band's frequency between the band switch
// and its tune: the AM band comes up on its own channel, every time.
TEST(RadioDlgSeekTest, ABandChangeDuringASeekTunesTheNewBandsOwnChannel) {
    CCoreRig rig;
    rig.m_pReceiver->SetStations({});
    // Each dwell takes a moment of real time, so that the switch falls
    // anywhere in the walk.
    rig.m_clock.SetSettleHook([] { std::this_thread::sleep_for(100us); });
    rig.Card();
    CRadioDlg window(rig.Services(), rig.m_profile, nullptr);
    ASSERT_TRUE(window.Create());
    CTuner& tuner = rig.Tuner();
    auto* pAm = window.GetDlgItemAs<QAbstractButton>(CRadioDlg::IDC_AM);
    auto* pFm = window.GetDlgItemAs<QAbstractButton>(CRadioDlg::IDC_FM);
    ASSERT_TRUE(pAm && pFm);
    std::mt19937 random(11);
    for (int i = 0; i < 40; ++i) {
        pFm->click();
        tuner.SetFrequency(CTuner::BAND_AM, 999);
        tuner.StopSeek(8000);
        ASSERT_TRUE(tuner.StartSeek(CTuner::SEEK_UP));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        pAm->click();
        tuner.JoinSeek();
        ASSERT_EQ(tuner.Band(), CTuner::BAND_AM);
        EXPECT_EQ(tuner.Frequency(CTuner::BAND_AM), 999u) << "try " << i;
        EXPECT_EQ(rig.m_profile.GetProfileInt("SETTING", "AM_FREQ", 0), 999) << "try " << i;
    }
    window.DestroyWindow();
}

}  // namespace
