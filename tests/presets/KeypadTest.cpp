#include <gtest/gtest.h>

#include <string>

#include "presets/KeypadPage.h"
#include "presets/PresetBanner.h"

namespace {

TEST(KeypadPageTest, TurnsRoundBothWaysAndNamesItsSlots) {
    CKeypadPage page;
    EXPECT_EQ(page.Page(), 0);
    EXPECT_EQ(page.Slot(0), 0);
    page.Turn(-1);  // before 0 comes 9
    EXPECT_EQ(page.Page(), 9);
    EXPECT_EQ(page.Slot(0), 90);
    EXPECT_EQ(page.Caption(9), "99");
    page.Turn(1);  // after 9 comes 0
    EXPECT_EQ(page.Page(), 0);
    for (int n = 0; n < 3; ++n) {
        page.Turn(1);
    }
    EXPECT_EQ(page.PageText(), "3");
    EXPECT_EQ(page.Slot(5), 35);
    EXPECT_EQ(page.Caption(0), "30");
    page.Turn(-23);  // any span stays in 0-9
    EXPECT_EQ(page.Page(), 0);
}

TEST(PresetBannerTest, StartsWithTheRadiosNameAndShowsTheTunedPreset) {
    CPresetBanner banner;
    EXPECT_EQ(banner.Text(), CPresetBanner::kStart);
    banner.ShowPreset(PresetEntry{8000, 1, "Bay"});
    EXPECT_EQ(banner.Text(), CPresetBanner::TitleText("Bay"));
    banner.ShowPreset(PresetEntry{8000, 1, ""});
    EXPECT_EQ(banner.Text(), CPresetBanner::kNoPreset);
    banner.ShowPreset(std::nullopt);
    EXPECT_EQ(banner.Text(), CPresetBanner::kNoPreset);
    EXPECT_EQ(std::string(CPresetBanner::kNoPreset).size(), 5 * (13 + 6u));
}

// At least fifty characters (not bytes) of title and blanks, then six blanks.
TEST(PresetBannerTest, RepeatsTheTitleToFiftyCharacters) {
    const std::string strTwenty(20, 'T');
    const std::string strBlanks(6, ' ');
    EXPECT_EQ(CPresetBanner::TitleText(strTwenty),
              strTwenty + strBlanks + strTwenty + strBlanks + strTwenty + strBlanks);
    const std::string strLong(60, 'L');  // long enough at once: still once more
    EXPECT_EQ(CPresetBanner::TitleText(strLong), strLong + strBlanks + strLong + strBlanks);
    const std::string strJapan = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本: 2 characters, 6 bytes
    const std::string strBanner = CPresetBanner::TitleText(strJapan);
    EXPECT_EQ(strBanner.size(), 7 * 6 + 7 * 6u);  // 7 titles and their blanks reach 50
}

TEST(PresetBannerTest, ScrollsWholeCharactersAndSlowsDownForWideOnes) {
    CPresetBanner banner;
    banner.SetText("KESTREL");
    EXPECT_EQ(banner.Scroll(), 200);
    EXPECT_EQ(banner.Text(), "ESTRELK");
    banner.SetText("estrel");  // a lead above 100 moves two plain letters
    EXPECT_EQ(banner.Scroll(), 400);
    EXPECT_EQ(banner.Text(), "treles");
    banner.SetText("\xE6\x97\xA5\xE6\x9C\xAC FM");
    EXPECT_EQ(banner.Scroll(), 400);
    EXPECT_EQ(banner.Text(), "\xE6\x9C\xAC FM\xE6\x97\xA5");
    banner.SetText("\xE6\x97");  // a cut sequence moves what there is
    banner.Scroll();
    EXPECT_EQ(banner.Text(), "\xE6\x97");
    banner.SetText("");
    EXPECT_EQ(banner.Scroll(), 200);
    EXPECT_EQ(banner.Text(), "");
}

}  // namespace
