#include "presets/PresetStore.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;
constexpr int AM = CPresetStore::BAND_AM;

class PresetStoreTest : public testing::Test {
protected:
    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CPresetStore m_store{m_profile};
};

TEST_F(PresetStoreTest, AFreshProfileHoldsOnlyEmptySlots) {
    for (int nBand : {AM, FM}) {
        for (int n = 0; n < CPresetStore::kSlots; ++n) {
            CPresetStore::SSlot slot = m_store.ReadSlot(nBand, n);
            ASSERT_EQ(slot.nValue, 0u);
            ASSERT_EQ(slot.strTitle, "");
        }
        EXPECT_EQ(m_store.FindSlot(nBand, 0), -1);  // an empty slot never matches
    }
}

TEST_F(PresetStoreTest, SlotsLiveUnderTheirKeysFromSlotZero) {
    const uint32_t nValue = *CPresetStore::BuildValue(FM, "87.5", 8750, 10800);
    ASSERT_TRUE(m_store.WriteSlot(FM, 0, nValue, "NHK FM"));
    ASSERT_TRUE(m_store.WriteSlot(AM, 99, 1008, "Kansai"));
    EXPECT_EQ(static_cast<uint32_t>(m_profile.GetProfileInt("KEYS", "KEY_FM_0", 0)), nValue);
    EXPECT_EQ(m_profile.GetProfileString("KEYS", "KEY_FM_0_Title"), "NHK FM");
    EXPECT_EQ(m_profile.GetProfileInt("KEYS", "KEY_AM_99", 0), 1008);
    EXPECT_EQ(m_profile.GetProfileString("KEYS", "KEY_AM_99_Title"), "Kansai");

    PresetEntry entry = m_store.ReadEntry(FM, 0);
    EXPECT_EQ(entry.nFrequency, 8750u);  // bit 31 is not part of the frequency
    EXPECT_EQ(entry.nChannelFlag, 0);
    EXPECT_EQ(entry.strTitle, "NHK FM");

    // A slot number the keypad or the editor never has writes nothing.
    EXPECT_FALSE(m_store.WriteSlot(FM, -1, nValue, "x"));
    EXPECT_FALSE(m_store.WriteSlot(FM, 100, nValue, "x"));
    EXPECT_EQ(m_profile.GetProfileInt("KEYS", "KEY_FM_-1", 0), 0);
    EXPECT_EQ(m_profile.GetProfileInt("KEYS", "KEY_FM_100", 0), 0);
}

TEST_F(PresetStoreTest, ClearingEmptiesTheSlotButKeepsItsTitle) {
    ASSERT_TRUE(m_store.WriteSlot(FM, 5, 9810 | CPresetStore::kFmBit, "J-WAVE"));
    ASSERT_TRUE(m_store.ClearSlot(FM, 5));
    EXPECT_EQ(m_store.ReadValue(FM, 5), 0u);
    EXPECT_EQ(m_profile.GetProfileString("KEYS", "KEY_FM_5_Title"), "J-WAVE");
    EXPECT_EQ(m_store.FindSlot(FM, 9810), -1);
}

TEST_F(PresetStoreTest, TypedFrequenciesBecomeValuesWithinTheLimits) {
    EXPECT_EQ(CPresetStore::BuildValue(FM, "87.5", 8750, 10800), 8750u | 0x80000000u);
    EXPECT_EQ(CPresetStore::BuildValue(FM, "98.1", 8750, 10800), 9810u | 0x80000000u);
    EXPECT_EQ(CPresetStore::BuildValue(FM, "76.1", 7600, 9000), 7610u | 0x80000000u);
    EXPECT_EQ(CPresetStore::BuildValue(FM, " 108MHz", 8750, 10800), 10800u | 0x80000000u);
    EXPECT_EQ(CPresetStore::BuildValue(AM, "1008", 522, 1629), 1008u);
    EXPECT_EQ(CPresetStore::BuildValue(AM, "1710", 520, 1710), 1710u);

    // Refused: outside the band, no number, negative, too large to be one.
    for (const char* text : {"86", "108.01", "", "FM", "-87.5", "1e300", "nan", "inf"}) {
        EXPECT_EQ(CPresetStore::BuildValue(FM, text, 8750, 10800), std::nullopt) << text;
    }
    for (const char* text : {"1710", "-1008", "99999999999999999999", "4294968304"}) {
        EXPECT_EQ(CPresetStore::BuildValue(AM, text, 522, 1629), std::nullopt) << text;
    }
}

TEST_F(PresetStoreTest, TheLowestSlotOfAFrequencyIsFoundInItsBandOnly) {
    m_store.WriteSlot(FM, 40, 9810 | CPresetStore::kFmBit, "late");
    m_store.WriteSlot(FM, 12, 9810 | CPresetStore::kFmBit, "early");
    m_store.WriteSlot(AM, 3, 9810, "");
    EXPECT_EQ(m_store.FindSlot(FM, 9810), 12);
    EXPECT_EQ(m_store.FindSlot(AM, 9810), 3);
    EXPECT_EQ(m_store.FindSlot(FM, 8000), -1);
}

TEST_F(PresetStoreTest, HandEditedValuesKeepTheirChannelFlag) {
    m_profile.WriteProfileString("KEYS", "KEY_FM_4", "0x84002652");  // bits 31, 26 and 9810
    m_profile.WriteProfileInt("KEYS", "KEY_AM_4", (1 << 26) | 1008);
    PresetEntry fm = m_store.ReadEntry(FM, 4);
    EXPECT_EQ(fm.nFrequency, 9810u);
    EXPECT_EQ(fm.nChannelFlag, 1);
    EXPECT_EQ(m_store.ReadEntry(AM, 4).nChannelFlag, 1);
    EXPECT_EQ(m_store.FindSlot(FM, 9810), 4);
}

TEST_F(PresetStoreTest, DisplayTextsFollowTheBand) {
    EXPECT_EQ(CPresetStore::FrequencyNumber(FM, 7609), "76.09");
    EXPECT_EQ(CPresetStore::FrequencyNumber(FM, 10090), "100.90");
    EXPECT_EQ(CPresetStore::ListText(FM, 9810), "98.10MHz");
    EXPECT_EQ(CPresetStore::ListText(AM, 1008), "1008KHz");
    EXPECT_EQ(CPresetStore::ModelText(AM), "AM");
    EXPECT_EQ(CPresetStore::TooltipText(FM, 8750, ""), "FM 87.50MHz\n");
    EXPECT_EQ(CPresetStore::TooltipText(AM, 1008, "Kansai"), "AM 1008KHz\n  Kansai");
    EXPECT_EQ(CPresetStore::ChannelText(FM, 8750, "NHK"), "FM 87.50MHz  NHK");
    EXPECT_EQ(CPresetStore::ChannelText(AM, 1008, "Kansai"), "AM 1008KHz     Kansai");
}

}  // namespace
