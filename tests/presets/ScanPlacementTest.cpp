#include "presets/ScanPlacement.h"

#include <gtest/gtest.h>

#include "presets/PresetChange.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;
constexpr int AM = CPresetStore::BAND_AM;

SScanStation Fm(unsigned nFrequency, std::string strName = {}, bool bStereo = true) {
    return {FM, nFrequency, 70, bStereo, std::move(strName)};
}

class ScanPlacementTest : public testing::Test {
protected:
    void Store(int nBand, int nSlot, unsigned nFrequency, std::string_view title) {
        ASSERT_TRUE(
            m_store.WriteSlot(nBand, nSlot, CChannelWord::Of(nBand, nFrequency).Value(), title));
    }
    std::vector<SPresetChange> Plan(CScanPlacement::EMode eMode, int nPage = 0) {
        return CScanPlacement::Plan(m_store, FM, m_found, eMode, nPage);
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CPresetStore m_store{m_profile};
    std::vector<SScanStation> m_found = {
        Fm(7650, "NHK FM"), Fm(8000, "", false), Fm(8250, "J-WAVE"), {AM, 594, 90, false, "NHK 1"}};
};

TEST_F(ScanPlacementTest, FreeSlotsTakeTheNewStationsInOrderAndLeaveHeldOnesAlone) {
    Store(FM, 0, 8000, "Mine");
    Store(FM, 2, 9000, "Kept");
    const std::vector<SPresetChange> changes = Plan(CScanPlacement::EMode::FreeSlots);
    ASSERT_EQ(changes.size(), 2u);  // 80.00 is held already; the AM station is not this band's
    EXPECT_EQ(changes[0].nSlot, 1);
    EXPECT_EQ(CChannelWord(changes[0].after.nValue).Frequency(), 7650u);
    EXPECT_EQ(changes[0].after.strTitle, "NHK FM");  // the name it sends
    EXPECT_EQ(changes[1].nSlot, 3);
    EXPECT_EQ(changes[1].after.strTitle, "J-WAVE");

    ASSERT_TRUE(ApplyPresetChanges(m_store, changes));
    EXPECT_EQ(m_store.ReadEntry(FM, 0).strTitle, "Mine");
    EXPECT_EQ(m_store.ReadEntry(FM, 1).nFrequency, 7650u);
    EXPECT_EQ(m_store.ReadEntry(FM, 2).strTitle, "Kept");
    EXPECT_EQ(m_store.ReadEntry(FM, 3).nFrequency, 8250u);
    EXPECT_TRUE(Plan(CScanPlacement::EMode::FreeSlots).empty());  // a second store adds nothing
}

TEST_F(ScanPlacementTest, APageIsReplacedAndItsRestCleared) {
    for (int n = 30; n < 40; ++n) {
        Store(FM, n, 8900 + static_cast<unsigned>(n), "Old");
    }
    Store(FM, 40, 9500, "Next page");
    ASSERT_TRUE(ApplyPresetChanges(m_store, Plan(CScanPlacement::EMode::Page, 3)));
    EXPECT_EQ(m_store.ReadEntry(FM, 30).nFrequency, 7650u);
    EXPECT_EQ(m_store.ReadEntry(FM, 31).nFrequency, 8000u);
    EXPECT_EQ(m_store.ReadEntry(FM, 31).nChannelFlag, 1);  // heard in mono
    EXPECT_EQ(m_store.ReadEntry(FM, 31).strTitle, "");
    EXPECT_EQ(m_store.ReadEntry(FM, 32).nFrequency, 8250u);
    for (int n = 33; n < 40; ++n) {
        EXPECT_EQ(m_store.ReadValue(FM, n), 0u);
        EXPECT_EQ(m_store.ReadEntry(FM, n).strTitle, "");
    }
    EXPECT_EQ(m_store.ReadEntry(FM, 40).strTitle, "Next page");
}

TEST_F(ScanPlacementTest, TheBandIsReplacedAndTheOtherBandKept) {
    Store(FM, 99, 8900, "Gone");
    Store(AM, 0, 1008, "Stays");
    const std::vector<SPresetChange> changes = Plan(CScanPlacement::EMode::Band);
    EXPECT_EQ(changes.size(), 4u);  // three stations and slot 99 cleared
    ASSERT_TRUE(ApplyPresetChanges(m_store, changes));
    EXPECT_EQ(m_store.FindSlot(FM, 8250), 2);
    EXPECT_EQ(m_store.ReadValue(FM, 99), 0u);
    EXPECT_EQ(m_store.ReadEntry(AM, 0).strTitle, "Stays");
}

TEST_F(ScanPlacementTest, TheModesHaveTheirCommandLineNames) {
    for (auto eMode : {CScanPlacement::EMode::FreeSlots, CScanPlacement::EMode::Page,
                       CScanPlacement::EMode::Band}) {
        EXPECT_EQ(CScanPlacement::ParseMode(CScanPlacement::ModeName(eMode)), eMode);
    }
    EXPECT_FALSE(CScanPlacement::ParseMode("all"));
}

}  // namespace
