#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/tuner/TunerRig.h"

namespace {

struct SPlan {
    int nStandard;  // SET/BAND
    int nBand;
    unsigned nLower;
    unsigned nUpper;
    unsigned nStep;
};

const SPlan kPlans[] = {
    {1, CTuner::BAND_FM, 7600, 9000, 10},
    {0, CTuner::BAND_FM, 8750, 10800, 10},
    {0, CTuner::BAND_AM, 522, 1629, 9},
    {2, CTuner::BAND_AM, 520, 1710, 10},
};

// The built-in stations a seek on this plan can stop at, in ascending order.
std::vector<unsigned> StationsOn(const SPlan& plan) {
    std::vector<unsigned> stations;
    for (const SSimStation& station : CSimReceiver::BuiltInStations()) {
        if (station.nBand == plan.nBand && station.nFrequency >= plan.nLower &&
            station.nFrequency <= plan.nUpper &&
            (station.nFrequency - plan.nLower) % plan.nStep == 0) {
            stations.push_back(station.nFrequency);
        }
    }
    std::sort(stations.begin(), stations.end());
    return stations;
}

// The real seek worker and device link on the built-in station list, on the
// virtual clock: each dwell first lets the receiver answer what it was sent.
class SeekOnSimReceiverTest : public testing::Test {
protected:
    void SetUp() override {
        m_clock.SetSettleHook([this] { m_rig.Settle(); });
    }

    void Use(const SPlan& plan, int nScanLevel) {
        m_rig.m_profile.WriteProfileInt("SET", "SCANLEVEL", nScanLevel);
        m_rig.UsePlan(plan.nStandard);
        m_rig.m_tuner.SetBand(plan.nBand);
    }

    void TuneTo(unsigned frequency) {
        m_rig.m_tuner.StopSeek(frequency);
        m_rig.Settle();
    }

    // One seek from where the tuner stands: the frequency it stopped on, or
    // 0 when it came round without finding a station.
    unsigned Seek(int nDirection) {
        const int nFoundBefore = m_rig.m_window.m_nSeekFound;
        EXPECT_TRUE(m_rig.m_tuner.StartSeek(nDirection));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (m_rig.m_tuner.HasSeekThread()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the seek did not end";
                m_rig.m_tuner.StopSeek(0);
                m_rig.m_tuner.JoinSeek();
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_rig.Settle();
        if (m_rig.m_window.m_nSeekFound == nFoundBefore) {
            return 0;
        }
        EXPECT_EQ(m_rig.m_pReceiver->TunedState().nFrequency, m_rig.m_tuner.CurrentFrequency());
        return m_rig.m_tuner.CurrentFrequency();
    }

    CSimClock m_clock;
    CTunerRig m_rig{m_clock};
};

// Up from the top edge and down from the bottom one, seek after seek: each
// stops on the next station exactly, having passed the channel just short of
// it, at every scan level, on both bands and every plan.
TEST_F(SeekOnSimReceiverTest, EverySeekLandsExactlyOnTheNextStation) {
    for (const SPlan& plan : kPlans) {
        const std::vector<unsigned> stations = StationsOn(plan);
        ASSERT_GE(stations.size(), 3u) << "plan from " << plan.nLower;
        for (int nLevel = 0; nLevel <= 2; ++nLevel) {
            SCOPED_TRACE(testing::Message() << "plan from " << plan.nLower << ", level " << nLevel);
            Use(plan, nLevel);

            TuneTo(plan.nUpper);
            for (unsigned station : stations) {
                ASSERT_EQ(Seek(CTuner::SEEK_UP), station) << "seeking up";
            }
            EXPECT_EQ(Seek(CTuner::SEEK_UP), stations.front()) << "round the edge";

            TuneTo(plan.nLower);
            for (auto it = stations.rbegin(); it != stations.rend(); ++it) {
                ASSERT_EQ(Seek(CTuner::SEEK_DOWN), *it) << "seeking down";
            }
            EXPECT_EQ(Seek(CTuner::SEEK_DOWN), stations.back()) << "round the edge";
        }
    }
}

}  // namespace
