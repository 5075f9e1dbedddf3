#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/app/CoreRig.h"

namespace {

using namespace std::chrono_literals;

// The device goes before the tuner; a walk still under way when the core
// goes must have ended first, or it would send through a freed link.
TEST(RadioCoreSeekTest, SeekRunningWhenTheCoreGoesIsStoppedAndJoined) {
    for (int nRound = 0; nRound < 3; ++nRound) {
        // On the virtual clock the worker never waits: it is always tuning.
        CCoreRig rig;
        rig.m_pReceiver->SetStations({});
        CRadioCore& core = rig.Core();
        ASSERT_EQ(core.DevicePresent(), 1);
        core.Tuner().StopSeek(8000);
        ASSERT_TRUE(core.Tuner().StartSeek(CTuner::SEEK_UP));
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 5 * nRound));
        ASSERT_TRUE(core.Tuner().HasSeekThread());
        const auto start = std::chrono::steady_clock::now();
        rig.m_pCore.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    }
}

}  // namespace
