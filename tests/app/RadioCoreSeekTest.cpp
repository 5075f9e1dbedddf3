#include <gtest/gtest.h>

#include <chrono>

#include "tests/app/CoreRig.h"

namespace {

using namespace std::chrono_literals;

// The device goes before the tuner; a walk still under way when the core
// goes must have ended first, or it would send through a freed link (which
// the address sanitizer sees; a join that never ends fails the suite's
// timeout, and bench/CloseBench.cpp times it).
TEST(RadioCoreSeekTest, SeekRunningWhenTheCoreGoesIsStoppedAndJoined) {
    for (size_t nRound = 0; nRound < 3; ++nRound) {
        // On the virtual clock the worker never waits: it is always tuning.
        CCoreRig rig;
        rig.m_pReceiver->SetStations({});
        CRadioCore& core = rig.Core();
        ASSERT_EQ(core.DevicePresent(), 1);
        rig.Tuner().StopSeek(8000);
        rig.m_pReceiver->ClearReports();
        ASSERT_TRUE(rig.Tuner().StartSeek(CTuner::SEEK_UP));
        // A walk a few steps further each round, so that the end falls elsewhere.
        ASSERT_TRUE(rig.m_pReceiver->WaitForReports(4 + 4 * nRound, 10s));
        ASSERT_TRUE(rig.Tuner().HasSeekThread());
        rig.m_pCore.reset();
    }
}

}  // namespace
