#include <string>

#include <gtest/gtest.h>

#include "platform/clock/SimClock.h"
#include "platform/profile/Profile.h"
#include "tests/support/TempDir.h"
#include "tuner/Tuner.h"

namespace {

class CRecordingDisplay : public CTextSink {
public:
    void SetText(const std::string& text) override { m_strText = text; }
    std::string m_strText;
};

// A tuner with no device link: tunes change the fields, the profile and the
// display, and send nothing.
class BandPlanTest : public testing::Test {
protected:
    std::unique_ptr<CTuner> MakeTuner() {
        auto pTuner = std::make_unique<CTuner>(m_profile, m_clock);
        pTuner->SetDisplay(&m_display);
        return pTuner;
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CSimClock m_clock;
    CRecordingDisplay m_display;
};

TEST_F(BandPlanTest, AFirstStartIsJapanAndFoldsAm520Into1629) {
    auto pTuner = MakeTuner();
    EXPECT_EQ(pTuner->FmRange(), CTuner::FM_RANGE_JAPAN);
    EXPECT_EQ(pTuner->AmStep(), CTuner::AM_STEP_9KHZ);
    EXPECT_EQ(pTuner->Tolerance(), 5);
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_FM), 8750u);
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_AM),
              520u);  // taken as stored, folded at the first tune

    EXPECT_FALSE(pTuner->Tune(0));  // no link: nothing sent
    EXPECT_EQ(m_display.m_strText, "87.50MHz");
    pTuner->SetBand(CTuner::BAND_AM);
    pTuner->Tune(0);
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_AM), 1629u);
    EXPECT_EQ(m_display.m_strText, "1629KHz");
    EXPECT_EQ(m_profile.GetProfileInt("SETTING", "AM_FREQ", 0), 1629);
}

TEST_F(BandPlanTest, FoldsFrequenciesIntoTheBand) {
    m_profile.WriteProfileInt("SET", "BAND", 0);
    auto pTuner = MakeTuner();
    pTuner->Tune(10810);
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_FM), 8750u);
    EXPECT_EQ(m_display.m_strText, "87.50MHz");
    pTuner->Tune(8740);
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_FM), 10800u);
    EXPECT_EQ(m_profile.GetProfileInt("SETTING", "FM_FREQ", 0), 10800);
    EXPECT_EQ(pTuner->Wrap(8750), 8750u);
    EXPECT_EQ(pTuner->Wrap(0), 10800u);
}

TEST_F(BandPlanTest, KeepsTheStoredAmFrequencyUntilTheNextTuneAfterAPlanChange) {
    m_profile.WriteProfileInt("SET", "BAND", 2);
    auto pTuner = MakeTuner();
    pTuner->SetBand(CTuner::BAND_AM);
    pTuner->Tune(1710);
    m_profile.WriteProfileInt("SET", "BAND", 0);
    pTuner->LoadBandPlan();
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_AM), 1710u);
    pTuner->Tune(0);
    EXPECT_EQ(pTuner->Frequency(CTuner::BAND_AM), 522u);
}

TEST_F(BandPlanTest, AnUnknownStandardKeepsThePlan) {
    m_profile.WriteProfileInt("SET", "BAND", 2);
    auto pTuner = MakeTuner();
    m_profile.WriteProfileInt("SET", "BAND", 7);
    m_profile.WriteProfileInt("SET", "SCANLEVEL", 2);
    pTuner->LoadBandPlan();
    EXPECT_EQ(pTuner->AmStep(), CTuner::AM_STEP_10KHZ);
    EXPECT_EQ(pTuner->UpperLimit(CTuner::BAND_AM), 1710u);
    EXPECT_EQ(pTuner->LowerLimit(CTuner::BAND_FM), 8750u);
    EXPECT_EQ(pTuner->Tolerance(), 10);
}

TEST_F(BandPlanTest, OffGridFrequenciesTuneUnchanged) {
    m_profile.WriteProfileInt("SET", "BAND", 0);
    auto pTuner = MakeTuner();
    pTuner->Tune(8755);
    EXPECT_EQ(pTuner->PllWord(8755), 1965);
    EXPECT_EQ(m_display.m_strText, "87.55MHz");
    pTuner->SetBand(CTuner::BAND_AM);
    EXPECT_EQ(pTuner->PllWord(523), pTuner->PllWord(522));
}

}  // namespace
