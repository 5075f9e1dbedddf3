#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/tuner/TunerRig.h"

namespace {

using std::chrono::milliseconds;

// The seek worker on the virtual clock: every sleep first lets the receiver
// answer what it was sent, then records what the receiver is tuned to.
class SeekTest : public testing::Test {
protected:
    void SetUp() override {
        m_clock.SetSettleHook([this] {
            m_rig.Settle();
            std::function<void(size_t)> onSleep;
            size_t nIndex;
            {
                std::lock_guard lock(m_mutex);
                m_states.push_back(m_rig.m_pReceiver->TunedState());
                nIndex = m_states.size() - 1;
                onSleep = m_onSleep;
            }
            if (onSleep) {
                onSleep(nIndex);
            }
        });
        m_rig.m_pReceiver->SetStations({});
        m_rig.UsePlan(0);
    }

    void StartAt(int nBand, unsigned frequency, int nDirection) {
        m_rig.m_tuner.SetBand(nBand);
        m_rig.m_tuner.StopSeek(frequency);
        m_rig.Settle();
        std::lock_guard lock(m_mutex);
        m_states.clear();
        ASSERT_TRUE(m_rig.m_tuner.StartSeek(nDirection));
    }

    bool WaitForEnd() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m_rig.m_tuner.HasSeekThread()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(milliseconds(1));
        }
        m_rig.Settle();
        return true;
    }

    void WaitForSteps(size_t n) {
        while (States().size() < n) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }

    std::vector<SSimTunedState> States() {
        std::lock_guard lock(m_mutex);
        return m_states;
    }

    // The frequencies the walk stepped to, in order (one per seek-step dwell).
    std::vector<unsigned> Steps() {
        std::vector<unsigned> steps;
        for (const SSimTunedState& state : States()) {
            if (state.nMode == CTuner::MODE_SEEK_STEP) {
                steps.push_back(state.nFrequency);
            }
        }
        return steps;
    }

    void ExpectEndedInNormalModeAt(unsigned frequency) {
        EXPECT_EQ(m_rig.m_tuner.IsSeekRunning(), 0);
        EXPECT_EQ(m_rig.m_tuner.TuningMode(), CTuner::MODE_NORMAL);
        EXPECT_EQ(m_rig.m_tuner.CurrentFrequency(), frequency);
        const SSimTunedState last = m_rig.m_pReceiver->TunedState();
        EXPECT_EQ(last.nMode, CTuner::MODE_NORMAL);
        EXPECT_EQ(last.nFrequency, frequency);
    }

    CSimClock m_clock;
    CTunerRig m_rig{m_clock};
    std::mutex m_mutex;
    std::vector<SSimTunedState> m_states;
    std::function<void(size_t)> m_onSleep;
};

TEST_F(SeekTest, AnEmptyBandIsWalkedOnceWithTheLongDwellAtBothFmEdges) {
    StartAt(CTuner::BAND_FM, 10800, CTuner::SEEK_UP);
    ASSERT_TRUE(WaitForEnd());

    const std::vector<milliseconds> sleeps = m_clock.Sleeps();
    const std::vector<unsigned> steps = Steps();
    ASSERT_EQ(steps.size(), 206u);
    ASSERT_EQ(sleeps.size(), 206u);
    EXPECT_EQ(steps.front(), 8750u);
    EXPECT_EQ(sleeps.front(), milliseconds(500));
    EXPECT_EQ(steps.back(), 10800u);
    EXPECT_EQ(sleeps.back(), milliseconds(500));
    for (size_t i = 1; i + 1 < sleeps.size(); ++i) {
        ASSERT_EQ(sleeps[i], milliseconds(110)) << steps[i];
    }
    ExpectEndedInNormalModeAt(10800);
    EXPECT_EQ(m_rig.m_window.m_nSeekFound, 0);

    // The next press starts a new seek; down from 8750 wraps to 10800.
    m_rig.m_tuner.StopSeek(8750);
    StartAt(CTuner::BAND_FM, 8750, CTuner::SEEK_DOWN);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Steps().front(), 10800u);
    EXPECT_EQ(m_clock.Sleeps()[206], milliseconds(500));
}

TEST_F(SeekTest, AmWrapsOnBothPlans) {
    StartAt(CTuner::BAND_AM, 1629, CTuner::SEEK_UP);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Steps().front(), 522u);
    EXPECT_EQ(Steps().size(), 124u);  // (1629 - 522) / 9 + 1 channels

    m_rig.UsePlan(2);
    StartAt(CTuner::BAND_AM, 1710, CTuner::SEEK_UP);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(Steps().front(), 520u);
    ExpectEndedInNormalModeAt(1710);
}

TEST_F(SeekTest, ASeekOffTheGridNeverMeetsItsStart) {
    StartAt(CTuner::BAND_FM, 8755, CTuner::SEEK_UP);
    WaitForSteps(260);
    m_rig.m_tuner.StopSeek(0);
    ASSERT_TRUE(WaitForEnd());
    const std::vector<unsigned> steps = Steps();
    EXPECT_EQ(steps[0], 8765u);
    EXPECT_EQ(steps[203], 10795u);
    EXPECT_EQ(steps[204], 8750u);
    EXPECT_EQ(steps[205], 8760u);
    for (unsigned step : steps) {
        ASSERT_NE(step, 8755u);
    }
}

TEST_F(SeekTest, TheSameButtonStopsAfter200MsAndRetunesInNormalMode) {
    StartAt(CTuner::BAND_FM, 9000, CTuner::SEEK_UP);
    WaitForSteps(5);
    EXPECT_FALSE(m_rig.m_tuner.StartSeek(CTuner::SEEK_UP));
    ASSERT_TRUE(WaitForEnd());
    const std::vector<milliseconds> sleeps = m_clock.Sleeps();
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), milliseconds(200)), sleeps.end());
    ExpectEndedInNormalModeAt(m_rig.m_tuner.CurrentFrequency());
}

TEST_F(SeekTest, TheOtherButtonReversesWithoutRestartingAndEndsAtTheStart) {
    std::atomic<bool> bThreadLeft{false};
    m_onSleep = [&](size_t) {
        if (!m_rig.m_tuner.HasSeekThread()) {
            bThreadLeft = true;
        }
    };
    StartAt(CTuner::BAND_FM, 9500, CTuner::SEEK_UP);
    WaitForSteps(3);
    EXPECT_TRUE(m_rig.m_tuner.StartSeek(CTuner::SEEK_DOWN));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_FALSE(bThreadLeft);
    const std::vector<unsigned> steps = Steps();
    ASSERT_GE(steps.size(), 4u);
    EXPECT_GT(steps[1], steps[0]);
    EXPECT_LT(steps.back(), steps[steps.size() - 2]);
    ExpectEndedInNormalModeAt(9500);
}

TEST_F(SeekTest, TheScanLevelDecidesWhichIfCountIsAStation) {
    struct SCase {
        int nBand, nScanLevel;
        unsigned station, start, count;
        bool bFound;
    };
    const SCase cases[] = {
        {CTuner::BAND_FM, 1, 9000, 8990, 10685, true},
        {CTuner::BAND_FM, 0, 9000, 8990, 10685, false},
        {CTuner::BAND_AM, 2, 999, 990, 445, true},
        {CTuner::BAND_AM, 1, 999, 990, 445, false},
    };
    for (const SCase& c : cases) {
        m_rig.m_profile.WriteProfileInt("SET", "SCANLEVEL", c.nScanLevel);
        m_rig.m_tuner.LoadBandPlan();
        m_rig.m_pReceiver->SetStations({{c.nBand, c.station, 0.1, true}});
        m_rig.m_pReceiver->ForceNextIfCount(c.count);
        m_rig.m_window.m_nSeekFound = 0;
        StartAt(c.nBand, c.start, CTuner::SEEK_UP);
        ASSERT_TRUE(WaitForEnd());
        EXPECT_EQ(m_rig.m_window.m_nSeekFound, c.bFound ? 1 : 0) << c.count;
        ExpectEndedInNormalModeAt(c.bFound ? c.station : c.start);
    }
    EXPECT_EQ(m_rig.m_tuner.TuningOffset(), 445 - 444);
}

TEST_F(SeekTest, AFoundStationsChannelFlagGoesOutWithEveryLaterTune) {
    for (bool bStereo : {false, true}) {
        m_rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 9100, 1.0, bStereo}});
        StartAt(CTuner::BAND_FM, 9090, CTuner::SEEK_UP);
        ASSERT_TRUE(WaitForEnd());
        ASSERT_EQ(m_rig.m_window.m_nSeekFound, bStereo ? 2 : 1);
        EXPECT_EQ(m_rig.m_tuner.ChannelFlag(), bStereo ? 0 : 1);
        EXPECT_EQ(m_rig.m_tuner.TuningOffset(), 20);
        m_rig.m_tuner.StopSeek(9500);
        m_rig.Settle();
        EXPECT_EQ(m_rig.m_pReceiver->TunedState().bChannelFlag, !bStereo);
    }
}

// A preset recall made while the worker waits for the status it asked for:
// the worker must not put the measured station's flag over the recalled one.
TEST_F(SeekTest, ARecallDuringTheMeasureKeepsItsChannelFlag) {
    m_rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 9100, 1.0, true}});
    m_onSleep = [this](size_t nIndex) {
        if (nIndex == 2) {  // step, IF count, then the status request's dwell
            m_rig.m_tuner.CancelSeek();
            m_rig.m_tuner.SetChannelFlag(1);
            m_rig.m_tuner.StopSeek(9500);
        }
    };
    StartAt(CTuner::BAND_FM, 9090, CTuner::SEEK_UP);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_clock.Sleeps().back(), milliseconds(100));
    EXPECT_EQ(m_rig.m_tuner.ChannelFlag(), 1);
    EXPECT_EQ(m_rig.m_window.m_nSeekFound, 0);
    ExpectEndedInNormalModeAt(9500);
    EXPECT_TRUE(m_rig.m_pReceiver->TunedState().bChannelFlag);
}

// However the stop falls between the worker's flag test and its next tune,
// the receiver ends in normal mode at the stopped frequency.
TEST_F(SeekTest, AStopAlwaysWins) {
    std::mt19937 random(7);
    for (unsigned i = 0; i < 40; ++i) {
        StartAt(CTuner::BAND_FM, 9000, CTuner::SEEK_UP);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        const unsigned stopAt = 9300 + 10 * i;
        m_rig.m_tuner.StopSeek(stopAt);
        ASSERT_TRUE(WaitForEnd());
        ExpectEndedInNormalModeAt(stopAt);
        EXPECT_EQ(m_rig.m_profile.GetProfileInt("SETTING", "FM_FREQ", 0), static_cast<int>(stopAt));
    }
}

// The receiver goes and the core closes the link in each phase of a measured
// channel: the walk goes on by the dwell times and measures nothing more.
TEST_F(SeekTest, AnUnplugInAnyPhaseLeavesTheWalkGoing) {
    m_rig.m_pReceiver->SetStations({{CTuner::BAND_FM, 9010, 0.1, true}});
    for (size_t nPhase = 1; nPhase <= 4; ++nPhase) {
        m_rig.m_services.Plug(m_rig.m_nReceiver);
        m_rig.Reopen();
        m_rig.m_pReceiver->ForceNextIfCount(10600);  // measured, not a station
        std::mutex mutex;
        std::condition_variable changed;
        bool bUnplug = false, bDone = false;
        m_onSleep = [&](size_t nIndex) {
            if (nIndex != nPhase) {
                return;
            }
            std::unique_lock lock(mutex);
            bUnplug = true;
            changed.notify_all();
            changed.wait(lock, [&] { return bDone; });
        };
        StartAt(CTuner::BAND_FM, 8990, CTuner::SEEK_UP);
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return bUnplug; }))
                << "phase " << nPhase << ": the seek ended after " << States().size()
                << " dwells, found " << m_rig.m_window.m_nSeekFound;
            m_rig.m_services.Unplug(m_rig.m_nReceiver);
            m_rig.m_device.Close();
            bDone = true;
            changed.notify_all();
        }
        ASSERT_TRUE(WaitForEnd());
        m_onSleep = nullptr;
        const std::vector<milliseconds> sleeps = m_clock.Sleeps();
        const size_t nFirst = sleeps.size() - States().size();
        for (size_t i = nFirst + nPhase + 1; i < sleeps.size(); ++i) {
            ASSERT_TRUE(sleeps[i] == milliseconds(110) || sleeps[i] == milliseconds(500)) << i;
        }
        EXPECT_EQ(m_rig.m_window.m_nSeekFound, 0);
        EXPECT_EQ(m_rig.m_tuner.CurrentFrequency(), 8990u);
    }
}

}  // namespace
