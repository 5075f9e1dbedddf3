#include "sim/receiver/SimReceiver.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
constexpr int FM = 1;
constexpr int AM = 0;

// The receiver's register image for a frequency, as the tuner builds it.
Bytes Image(int nBand, unsigned f, int nAmStep = 9, int nMode = 0, bool bMute = false) {
    const unsigned word =
        nBand == FM ? (10 * f + 10700) / 50 : ((f + 450) / (nAmStep == 10 ? 5 : 3)) << 4;
    uint8_t byte5 = (nBand == FM ? 0x52 : 0x12) | 0x80;
    if (nMode != 0 || bMute) {
        byte5 |= 0x20;
    }
    return {0x28,
            static_cast<uint8_t>(word & 0xFF),
            static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>((nBand == FM ? 0x03 : 0xC0) | (nMode == 2 ? 0x04 : 0)),
            0x29,
            byte5,
            static_cast<uint8_t>(nMode == 1   ? 0x0C
                                 : nMode == 2 ? 0x04
                                              : 0x00),
            0x10};
}

const Bytes kStatusRequest = {0x2A, 0, 0, 0, 0, 0, 0, 0};

struct SAnswer {
    uint8_t nStatus = 0xFF;
    unsigned nCount = 0;
    bool NoSignal() const { return (nStatus & 0x80) != 0; }
    bool Stereo() const { return (nStatus & 0x40) != 0; }
};

class SimReceiverTest : public testing::Test {
protected:
    SimReceiverTest() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        m_host.Reset(fds[0]);
        m_receiver->Connect(CUniqueFd(fds[1]));
    }

    // Writes one output report (report id 0, then the payload) and reads the answer.
    SAnswer Exchange(const Bytes& payload) {
        Bytes report(payload.size() + 1, 0x00);  // report id 0, then the payload
        std::copy(payload.begin(), payload.end(), report.begin() + 1);
        EXPECT_EQ(::send(m_host.Get(), report.data(), report.size(), MSG_NOSIGNAL), 9);
        pollfd p{m_host.Get(), POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 2000), 1);
        Bytes input(64);
        const ssize_t n = ::recv(m_host.Get(), input.data(), input.size(), MSG_DONTWAIT);
        EXPECT_EQ(n, CSimReceiver::kInputReportLength);
        if (n < 4) {
            return {};
        }
        EXPECT_EQ(input[0], 0);
        return {input[1], static_cast<unsigned>((input[2] << 8) | input[3]) >> 2};
    }
    // Tunes and measures as the seek worker does.
    SAnswer Measure(int nBand, unsigned f, int nAmStep = 9) {
        Exchange(Image(nBand, f, nAmStep, 2));
        return Exchange(kStatusRequest);
    }

    std::shared_ptr<CSimReceiver> m_receiver = std::make_shared<CSimReceiver>();
    CUniqueFd m_host;
};

TEST_F(SimReceiverTest, DecodesTheTunersRegisterImages) {
    struct SCase {
        Bytes image;
        int nAmStep;
        int nBand;
        unsigned nFrequency;
        int nMode;
        bool bMuted;
    };
    const SCase cases[] = {
        {{0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10}, 9, FM, 8750, 0, false},
        {{0x28, 0x46, 0x09, 0x03, 0x29, 0xD2, 0x00, 0x10}, 9, FM, 10800, 0, false},
        {{0x28, 0xC6, 0x06, 0x03, 0x29, 0xD2, 0x00, 0x10}, 9, FM, 7600, 0, false},
        {{0x28, 0x40, 0x14, 0xC0, 0x29, 0x92, 0x00, 0x10}, 9, AM, 522, 0, false},
        {{0x28, 0x50, 0x2B, 0xC0, 0x29, 0x92, 0x00, 0x10}, 9, AM, 1629, 0, false},
        {{0x28, 0x20, 0x0C, 0xC0, 0x29, 0x92, 0x00, 0x10}, 10, AM, 520, 0, false},
        {{0x28, 0x00, 0x1B, 0xC0, 0x29, 0x92, 0x00, 0x10}, 10, AM, 1710, 0, false},
        {{0x28, 0xAC, 0x07, 0x03, 0x29, 0xF2, 0x0C, 0x10}, 9, FM, 8750, 1, true},
        {{0x28, 0xAC, 0x07, 0x07, 0x29, 0xF2, 0x04, 0x10}, 9, FM, 8750, 2, true},
        {{0x28, 0xAD, 0x07, 0x03, 0x29, 0x72, 0x00, 0x10}, 9, FM, 8755, 0, true},  // off grid,
                                                                                   // muted
    };
    for (const SCase& c : cases) {
        m_receiver->SetAmPlan(c.nAmStep);
        Exchange(c.image);
        const SSimTunedState state = m_receiver->TunedState();
        EXPECT_TRUE(state.bTuned);
        EXPECT_EQ(state.nBand, c.nBand);
        EXPECT_EQ(state.nFrequency, c.nFrequency);
        EXPECT_EQ(state.nMode, c.nMode);
        EXPECT_EQ(state.bMuted, c.bMuted);
        EXPECT_EQ(state.bChannelFlag, (c.image[5] & 0x80) != 0);
    }

    // A status request or junk leaves the tuned state alone.
    Exchange(kStatusRequest);
    Exchange({0x13, 0x37, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(m_receiver->TunedState().nFrequency, 8755u);
}

// The worker's station window at scan level 0, 1 and 2.
bool InWindow(unsigned c, int nBand, int nLevel) {
    const int t = nLevel * 5;
    const int n = static_cast<int>(c);
    return nBand == FM ? 10690 - t <= n && n <= 10710 + t : 447 - t / 5 <= n && n <= 453 + t / 5;
}

TEST_F(SimReceiverTest, IfCountMovesOneForOneWithTheMistuning) {
    m_receiver->SetStations({{FM, 8800, 1.0, true},
                             {FM, 9500, 0.4, false},
                             {FM, 10000, 0.8, true},
                             {AM, 594, 1.0, false},
                             {AM, 1200, 1.0, false}});

    // On a station: nominal IF, stereo bit from the station.
    SAnswer exact = Measure(FM, 8800);
    EXPECT_FALSE(exact.NoSignal());
    EXPECT_TRUE(exact.Stereo());
    EXPECT_EQ(exact.nCount, 10700u);

    // A strong station is heard a channel away, 100 kHz off the IF: no scan
    // level takes that for a station.
    EXPECT_EQ(Measure(FM, 8790).nCount, 10600u);
    EXPECT_EQ(Measure(FM, 8810).nCount, 10800u);
    EXPECT_FALSE(Measure(FM, 8810).NoSignal());
    EXPECT_EQ(Measure(FM, 8795).nCount, 10650u);  // the PLL's 50 kHz resolution
    EXPECT_EQ(Measure(FM, 10010).nCount, 10800u);
    EXPECT_FALSE(Measure(FM, 10010).NoSignal());
    for (int nLevel = 0; nLevel <= 2; ++nLevel) {
        EXPECT_FALSE(InWindow(Measure(FM, 8790).nCount, FM, nLevel)) << nLevel;
        EXPECT_FALSE(InWindow(Measure(FM, 8795).nCount, FM, nLevel)) << nLevel;
    }
    // Two channels off, nothing.
    EXPECT_TRUE(Measure(FM, 8820).NoSignal());
    EXPECT_TRUE(Measure(FM, 9980).NoSignal());

    // A weak station is there only near its frequency.
    SAnswer weak = Measure(FM, 9500);
    EXPECT_FALSE(weak.NoSignal());
    EXPECT_FALSE(weak.Stereo());
    EXPECT_EQ(weak.nCount, 10700u);
    EXPECT_TRUE(Measure(FM, 9510).NoSignal());
    const SAnswer between = Measure(FM, 9200);
    EXPECT_TRUE(between.NoSignal());
    EXPECT_FALSE(InWindow(between.nCount, FM, 2)) << between.nCount;

    // AM on both plans, a channel away by the plan's own spacing.
    EXPECT_EQ(Measure(AM, 594).nCount, 450u);
    EXPECT_EQ(Measure(AM, 603).nCount, 459u);
    EXPECT_EQ(Measure(AM, 585).nCount, 441u);
    EXPECT_TRUE(Measure(AM, 612).NoSignal());
    m_receiver->SetAmPlan(10);
    EXPECT_EQ(Measure(AM, 1200, 10).nCount, 450u);
    EXPECT_EQ(Measure(AM, 1210, 10).nCount, 460u);
    EXPECT_EQ(Measure(AM, 1190, 10).nCount, 440u);
    EXPECT_TRUE(Measure(AM, 1000, 10).NoSignal());
}

// Whatever the plan and the scan level, the channels either side of a
// built-in station never look like a station to the seek worker.
TEST_F(SimReceiverTest, AChannelBesideABuiltInStationNeverPasses) {
    struct SPlan {
        int nBand;
        unsigned nLower;
        unsigned nUpper;
        unsigned nStep;
    };
    const SPlan plans[] = {
        {FM, 7600, 9000, 10}, {FM, 8750, 10800, 10}, {AM, 522, 1629, 9}, {AM, 520, 1710, 10}};
    for (const SPlan& plan : plans) {
        const int nAmStep = plan.nBand == AM ? static_cast<int>(plan.nStep) : 9;
        m_receiver->SetAmPlan(nAmStep);
        for (const SSimStation& station : CSimReceiver::BuiltInStations()) {
            if (station.nBand != plan.nBand || station.nFrequency < plan.nLower ||
                station.nFrequency > plan.nUpper ||
                (station.nFrequency - plan.nLower) % plan.nStep) {
                continue;
            }
            for (unsigned f : {station.nFrequency - plan.nStep, station.nFrequency + plan.nStep}) {
                const SAnswer beside = Measure(plan.nBand, f, nAmStep);
                for (int nLevel = 0; nLevel <= 2; ++nLevel) {
                    EXPECT_TRUE(beside.NoSignal() || !InWindow(beside.nCount, plan.nBand, nLevel))
                        << f << " beside " << station.nFrequency << ", level " << nLevel
                        << ": count " << beside.nCount;
                }
            }
        }
    }
}

// The other plan's AM stations are not on the air: a 9 kHz region has no
// 10 kHz broadcasters, so no seek stops a few kHz off one.
TEST_F(SimReceiverTest, TheAmPlanPicksTheStationsOnTheAir) {
    m_receiver->SetStations({{AM, 594, 1.0, false}, {AM, 560, 1.0, false}, {AM, 1620, 1.0, false}});
    EXPECT_FALSE(Measure(AM, 594).NoSignal());
    EXPECT_TRUE(Measure(AM, 558).NoSignal());
    EXPECT_FALSE(Measure(AM, 1620).NoSignal());
    m_receiver->SetAmPlan(10);
    EXPECT_FALSE(Measure(AM, 560, 10).NoSignal());
    EXPECT_TRUE(Measure(AM, 595, 10).NoSignal());
    EXPECT_FALSE(Measure(AM, 1620, 10).NoSignal());
}

// Bit 6 is the stereo lamp: the channel flag the tuner takes from it (set
// when the bit is clear) marks a mono station.
TEST_F(SimReceiverTest, StereoStationsAnswerWithBitSixSet) {
    m_receiver->SetStations({{FM, 8800, 1.0, true}, {FM, 9000, 1.0, false}});
    EXPECT_EQ(Measure(FM, 8800).nStatus, 0x40);
    EXPECT_EQ(Measure(FM, 9000).nStatus, 0x00);
    EXPECT_EQ(Measure(FM, 8900).nStatus, 0x80) << "no signal, and no stereo lamp";
}

TEST_F(SimReceiverTest, ForcedValuesApplyToOneAnswer) {
    m_receiver->SetStations({{FM, 8800, 1.0, true}});
    Exchange(Image(FM, 8800));
    m_receiver->ForceNextStatus(0x80);
    EXPECT_EQ(Exchange(kStatusRequest).nStatus, 0x80);
    EXPECT_EQ(Exchange(kStatusRequest).nStatus, 0x40);

    m_receiver->ForceNextIfCount(10685);
    EXPECT_EQ(Exchange(Image(FM, 8800, 9, 2)).nCount, 10700u);  // a tune is not a status answer
    EXPECT_EQ(Exchange(kStatusRequest).nCount, 10685u);
    EXPECT_EQ(Exchange(kStatusRequest).nCount, 10700u);
}

TEST_F(SimReceiverTest, EveryBuiltInStationIsReachableOnItsPlan) {
    struct SPlan {
        int nBand;
        unsigned nLower;
        unsigned nUpper;
        unsigned nStep;
    };
    const SPlan plans[] = {
        {FM, 7600, 9000, 10}, {FM, 8750, 10800, 10}, {AM, 522, 1629, 9}, {AM, 520, 1710, 10}};
    const auto stations = CSimReceiver::BuiltInStations();
    for (const SPlan& plan : plans) {
        m_receiver->SetAmPlan(plan.nBand == AM ? static_cast<int>(plan.nStep) : 9);
        int nStrong = 0;
        int nWeak = 0;
        for (const SSimStation& station : stations) {
            if (station.nBand != plan.nBand || station.nFrequency < plan.nLower ||
                station.nFrequency > plan.nUpper ||
                (station.nFrequency - plan.nLower) % plan.nStep) {
                continue;
            }
            station.dStrength >= 0.8 ? ++nStrong : ++nWeak;
            SAnswer answer = Measure(plan.nBand, station.nFrequency, static_cast<int>(plan.nStep));
            EXPECT_FALSE(answer.NoSignal()) << station.nFrequency;
            EXPECT_EQ(answer.nCount, plan.nBand == FM ? 10700u : 450u) << station.nFrequency;
        }
        EXPECT_GE(nStrong, 2) << "plan from " << plan.nLower;
        EXPECT_GE(nWeak, 1) << "plan from " << plan.nLower;
    }
}

TEST_F(SimReceiverTest, ProgrammeFollowsWhatIsTuned) {
    EXPECT_TRUE(m_receiver->CurrentProgramme().bMuted);  // nothing tuned yet
    m_receiver->SetStations({{FM, 8800, 1.0, true}, {FM, 9000, 1.0, true}});

    Exchange(Image(FM, 8800));
    const SSimProgramme first = m_receiver->CurrentProgramme();
    EXPECT_FALSE(first.bMuted);
    EXPECT_TRUE(first.bOnStation);
    EXPECT_EQ(first.nStation, 0);
    EXPECT_DOUBLE_EQ(first.dLevel, 1.0);

    Exchange(Image(FM, 9000, 9, 0, true));
    const SSimProgramme second = m_receiver->CurrentProgramme();
    EXPECT_TRUE(second.bMuted);
    EXPECT_EQ(second.nStation, 1);
    EXPECT_NE(second.dToneHz, first.dToneHz);

    Exchange(Image(FM, 8900));
    const SSimProgramme between = m_receiver->CurrentProgramme();
    EXPECT_FALSE(between.bOnStation);
    EXPECT_EQ(between.nStation, -1);
    EXPECT_EQ(between.dLevel, 0.0);
}

TEST_F(SimReceiverTest, RecordsEveryReportAndHangsUpOnDisconnect) {
    const auto before = std::chrono::steady_clock::now();
    Exchange(Image(FM, 8800));
    Exchange(kStatusRequest);
    ASSERT_TRUE(m_receiver->WaitForReports(2, 1s));
    const auto reports = m_receiver->Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].bytes, (Bytes{0x00, 0x2A, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_LE(before, reports[0].arrival);
    EXPECT_LE(reports[0].arrival, reports[1].arrival);
    m_receiver->ClearReports();
    EXPECT_EQ(m_receiver->ReportCount(), 0u);

    m_receiver->Disconnect();
    pollfd p{m_host.Get(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_NE(p.revents & POLLHUP, 0);
    const uint8_t report[9] = {};
    EXPECT_LT(::send(m_host.Get(), report, sizeof(report), MSG_NOSIGNAL), 0);
    for (int tries = 0; tries < 200 && m_receiver->Connections() > 0; ++tries) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(m_receiver->Connections(), 0);
}

}  // namespace
