#include <array>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/clock/SystemClock.h"
#include "tests/tuner/TunerRig.h"

namespace {

using Image = std::array<uint8_t, 8>;

class TunerTest : public testing::Test {
protected:
    // Tunes and returns the register image the receiver got for it.
    Image TuneAndReceive(unsigned frequency) {
        const size_t nBefore = m_rig.m_pReceiver->ReportCount();
        m_rig.m_tuner.Tune(frequency);
        EXPECT_TRUE(m_rig.m_pReceiver->WaitForReports(nBefore + 1, std::chrono::seconds(5)));
        m_rig.Settle();
        Image image{};
        const auto reports = m_rig.m_pReceiver->Reports();
        if (reports.empty()) {
            return image;
        }
        const auto& bytes = reports.back().bytes;
        EXPECT_EQ(bytes[0], 0);  // report id
        std::copy(bytes.begin() + 1, bytes.begin() + 9, image.begin());
        return image;
    }

    CSystemClock m_clock;
    CTunerRig m_rig{m_clock};
};

struct SWorkedImage {
    int nStandard;
    int nBand;
    unsigned frequency;
    Image image;
};

TEST_F(TunerTest, WorkedImagesReachTheReceiverByteForByte) {
    const SWorkedImage worked[] = {
        {0, CTuner::BAND_FM, 8750, {0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10}},
        {0, CTuner::BAND_FM, 10800, {0x28, 0x46, 0x09, 0x03, 0x29, 0xD2, 0x00, 0x10}},
        {1, CTuner::BAND_FM, 7600, {0x28, 0xC6, 0x06, 0x03, 0x29, 0xD2, 0x00, 0x10}},
        {0, CTuner::BAND_AM, 522, {0x28, 0x40, 0x14, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {0, CTuner::BAND_AM, 1629, {0x28, 0x50, 0x2B, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {2, CTuner::BAND_AM, 520, {0x28, 0x20, 0x0C, 0xC0, 0x29, 0x92, 0x00, 0x10}},
        {2, CTuner::BAND_AM, 1710, {0x28, 0x00, 0x1B, 0xC0, 0x29, 0x92, 0x00, 0x10}},
    };
    for (const SWorkedImage& row : worked) {
        m_rig.UsePlan(row.nStandard);
        m_rig.m_tuner.SetBand(row.nBand);
        EXPECT_EQ(TuneAndReceive(row.frequency), row.image) << row.frequency;
        EXPECT_EQ(m_rig.m_pReceiver->TunedState().nFrequency, row.frequency);
    }

    m_rig.UsePlan(0);
    m_rig.m_tuner.SetBand(CTuner::BAND_FM);
    m_rig.m_tuner.SetTuningMode(CTuner::MODE_SEEK_STEP);
    EXPECT_EQ(TuneAndReceive(8750), (Image{0x28, 0xAC, 0x07, 0x03, 0x29, 0xF2, 0x0C, 0x10}));
    m_rig.m_tuner.SetTuningMode(CTuner::MODE_IF_COUNT);
    EXPECT_EQ(TuneAndReceive(8750), (Image{0x28, 0xAC, 0x07, 0x07, 0x29, 0xF2, 0x04, 0x10}));
}

TEST_F(TunerTest, MuteSilencesEveryTuneInEveryMode) {
    m_rig.m_tuner.SetMute(1);
    for (int nMode : {CTuner::MODE_NORMAL, CTuner::MODE_SEEK_STEP, CTuner::MODE_IF_COUNT}) {
        m_rig.m_tuner.SetTuningMode(nMode);
        EXPECT_TRUE(TuneAndReceive(0)[5] & 0x20) << nMode;
    }
    m_rig.m_tuner.SetTuningMode(CTuner::MODE_NORMAL);
    m_rig.m_tuner.SetMute(0);
    EXPECT_FALSE(TuneAndReceive(0)[5] & 0x20);
}

TEST_F(TunerTest, TuningZeroRetunesAndRewritesTheCurrentFrequency) {
    m_rig.UsePlan(0);
    TuneAndReceive(9810);
    m_rig.m_profile.WriteProfileInt("SETTING", "FM_FREQ", 1);
    EXPECT_EQ(TuneAndReceive(0)[2], 0x08);  // (98100 + 10700) / 50 = 0x0880
    EXPECT_EQ(m_rig.m_profile.GetProfileInt("SETTING", "FM_FREQ", 0), 9810);
}

TEST_F(TunerTest, NothingIsSentWhileTheLinkIsClosed) {
    m_rig.m_device.Close();
    EXPECT_FALSE(m_rig.m_tuner.Tune(8800));
    EXPECT_FALSE(m_rig.m_tuner.SendImage());
    EXPECT_EQ(m_rig.m_tuner.Frequency(CTuner::BAND_FM), 8800u);
}

// Two threads tune at once while the read thread runs: the receiver only ever
// gets whole images, each one of the two threads' own.
TEST_F(TunerTest, TunesFromTwoThreadsArriveWhole) {
    m_rig.UsePlan(0);
    auto tuneMany = [this](unsigned frequency) {
        for (int i = 0; i < 300; ++i) {
            m_rig.m_tuner.Tune(frequency);
        }
    };
    std::thread first(tuneMany, 8800);
    std::thread second(tuneMany, 10000);
    first.join();
    second.join();
    m_rig.Settle();

    std::set<Image> expected;
    for (unsigned f : {8800u, 10000u}) {
        const uint16_t word = m_rig.m_tuner.PllWord(f);
        expected.insert(Image{0x28, static_cast<uint8_t>(word & 0xFF),
                              static_cast<uint8_t>(word >> 8), 0x03, 0x29, 0xD2, 0x00, 0x10});
    }
    const auto reports = m_rig.m_pReceiver->Reports();
    ASSERT_FALSE(reports.empty());
    for (const auto& report : reports) {
        Image image;
        std::copy(report.bytes.begin() + 1, report.bytes.begin() + 9, image.begin());
        EXPECT_TRUE(expected.count(image));
    }
}

}  // namespace
