#include "presets/PresetSets.h"

#include <gtest/gtest.h>

#include "presets/PresetStore.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;
constexpr int AM = CPresetStore::BAND_AM;

class PresetSetsTest : public testing::Test {
protected:
    void Fill(unsigned nFrequency, std::string_view title) {
        CPresetStore store(m_profile);
        ASSERT_TRUE(store.WriteSlot(FM, 0, CChannelWord::Of(FM, nFrequency).Value(), title));
        ASSERT_TRUE(store.WriteSlot(AM, 99, CChannelWord::Of(AM, 1008).Value(), title));
    }
    std::string TitleOfSlotZero() const {
        return m_profile.GetProfileString("KEYS", "KEY_FM_0_Title");
    }

    CTempDir m_dir;
    std::string m_path = m_dir.File("Kestrel.ini");
    CProfile m_profile{m_path};
    CPresetSets m_sets{m_profile};
    std::string m_strWhy;
};

TEST_F(PresetSetsTest, AProfileWithoutSetsHasHomeHoldingItsKeys) {
    Fill(8010, "Mine");
    EXPECT_EQ(m_sets.Names(), std::vector<std::string>{"Home"});
    EXPECT_EQ(m_sets.Current(), "Home");
    EXPECT_TRUE(m_sets.Switch("home", m_strWhy));  // no case, no change
    EXPECT_EQ(TitleOfSlotZero(), "Mine");
}

// The current set is KEYS itself: what the short key window and the keypad
// read follows a switch, and every set comes back whole after a restart.
TEST_F(PresetSetsTest, SwitchingSwapsTheKeysAndSurvivesARestart) {
    Fill(8010, "Home FM");
    ASSERT_TRUE(m_sets.Add("Car", m_strWhy)) << m_strWhy;
    EXPECT_EQ(m_sets.Current(), "Home");  // added, not switched to
    ASSERT_TRUE(m_sets.Switch("Car", m_strWhy)) << m_strWhy;
    EXPECT_EQ(CPresetStore(m_profile).ReadValue(FM, 0), 0u);  // a new set is empty
    EXPECT_EQ(TitleOfSlotZero(), "");
    Fill(9470, "Car FM");

    CProfile restarted(m_path);
    CPresetSets sets(restarted);
    EXPECT_EQ(sets.Current(), "Car");
    EXPECT_EQ(sets.Names(), (std::vector<std::string>{"Home", "Car"}));
    ASSERT_TRUE(sets.Switch("Home", m_strWhy));
    CPresetStore store(restarted);
    EXPECT_EQ(store.ReadEntry(FM, 0).nFrequency, 8010u);
    EXPECT_EQ(store.ReadEntry(FM, 0).strTitle, "Home FM");
    EXPECT_EQ(store.ReadEntry(AM, 99).nFrequency, 1008u);
    ASSERT_TRUE(sets.Switch("Car", m_strWhy));
    EXPECT_EQ(store.ReadEntry(FM, 0).strTitle, "Car FM");
}

TEST_F(PresetSetsTest, NamesMustBeNewPrintableAndShort) {
    EXPECT_FALSE(m_sets.Add("  ", m_strWhy));
    EXPECT_FALSE(m_sets.Add("HOME", m_strWhy));
    EXPECT_NE(m_strWhy.find("already"), std::string::npos);
    EXPECT_FALSE(m_sets.Add("Car\nNAME_0=x", m_strWhy));
    EXPECT_FALSE(m_sets.Add(std::string(CPresetSets::kMaxNameLength + 1, 'x'), m_strWhy));
    EXPECT_FALSE(m_sets.Switch("Boat", m_strWhy));
    EXPECT_TRUE(m_sets.Add("  Boat ", m_strWhy));
    EXPECT_EQ(m_sets.Names().back(), "Boat");
}

TEST_F(PresetSetsTest, RemovingASetKeepsTheOthersWhole) {
    Fill(8010, "Home FM");
    ASSERT_TRUE(m_sets.Add("Car", m_strWhy));
    ASSERT_TRUE(m_sets.Add("Boat", m_strWhy));
    ASSERT_TRUE(m_sets.Switch("Boat", m_strWhy));
    Fill(9000, "Boat FM");
    EXPECT_FALSE(m_sets.Remove("Boat", m_strWhy));  // the one in use
    ASSERT_TRUE(m_sets.Remove("Car", m_strWhy)) << m_strWhy;
    EXPECT_EQ(m_sets.Names(), (std::vector<std::string>{"Home", "Boat"}));
    EXPECT_EQ(m_sets.Current(), "Boat");
    EXPECT_EQ(TitleOfSlotZero(), "Boat FM");
    ASSERT_TRUE(m_sets.Switch("Home", m_strWhy));
    EXPECT_EQ(TitleOfSlotZero(), "Home FM");
    ASSERT_TRUE(m_sets.Remove("Boat", m_strWhy));
    EXPECT_EQ(m_sets.Names(), std::vector<std::string>{"Home"});
}

}  // namespace
