#include <QAction>

#include <fstream>

#include <gtest/gtest.h>

#include "control/windows/TrayIcon.h"
#include "presets/PresetSets.h"
#include "tests/control/RemoteRig.h"

namespace {

// The tray's menu and tooltip on the offscreen platform, which has no tray:
// the icon is made but never shown.
class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string strWhy;
        ASSERT_TRUE(m_remote.Open(strWhy)) << strWhy;
        CRadioDlg& window = m_remote.Window();
        m_pTray = std::make_unique<CTrayIcon>(
            m_remote.Remote(), CTrayIcon::SWindow{[&window] { return window.isVisible(); },
                                                  [&window](bool bShow) {
                                                      bShow ? window.show() : window.HideToTray();
                                                  },
                                                  [this] { ++m_nQuits; }});
    }
    void TearDown() override { m_pTray.reset(); }

    QStringList PresetTexts() {
        m_pTray->Refresh();
        QStringList texts;
        for (QAction* pAction : m_pTray->Presets().actions()) {
            texts.append(pAction->text() + (pAction->isChecked() ? "*" : ""));
        }
        return texts;
    }

    CRemoteRig m_remote;
    std::unique_ptr<CTrayIcon> m_pTray;
    int m_nQuits = 0;
};

TEST_F(TrayIconTest, ThePresetsOfTheBandRecallTheirStation) {
    EXPECT_EQ(PresetTexts(),
              (QStringList{"2  FM 80.00MHz  Alpha*", "5  FM 82.50MHz  Bravo", "7  FM 85.20MHz  "}));
    m_pTray->Presets().actions()[1]->trigger();
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8250u);
    EXPECT_EQ(PresetTexts()[1], "5  FM 82.50MHz  Bravo*");

    m_remote.Unplug();
    m_pTray->Refresh();
    EXPECT_FALSE(m_pTray->Presets().isEnabled());
    EXPECT_EQ(m_pTray->ToolTip(), "Kestrel Radio\nThe receiver is not plugged in.");
}

// A set chosen in the tray is the one the keypad and the tray's presets show.
TEST_F(TrayIconTest, ThePresetSetsSwitchFromTheTray) {
    std::string strWhy;
    ASSERT_TRUE(CPresetSets(m_remote.m_rig.m_profile).Add("Car", strWhy));
    m_pTray->Refresh();
    ASSERT_EQ(m_pTray->PresetSets().actions().size(), 2);
    EXPECT_TRUE(m_pTray->PresetSets().actions()[0]->isChecked());
    m_pTray->PresetSets().actions()[1]->trigger();
    EXPECT_EQ(CPresetSets(m_remote.m_rig.m_profile).Current(), "Car");
    EXPECT_TRUE(PresetTexts().isEmpty());  // Car has no presets yet
    m_pTray->PresetSets().actions()[0]->trigger();
    EXPECT_EQ(PresetTexts().size(), 3);
}

TEST_F(TrayIconTest, RecordingStartsAndStopsAndShowsInTheTooltip) {
    m_pTray->Refresh();
    EXPECT_EQ(m_pTray->ToolTip(), "Kestrel Radio\nFM 80.00MHz  Alpha");
    EXPECT_EQ(m_pTray->RecordAction().text(), "Start recording");
    m_pTray->RecordAction().trigger();
    ASSERT_EQ(m_remote.Window().Recording(), 1);
    EXPECT_EQ(m_pTray->RecordAction().text(), "Stop recording");
    EXPECT_TRUE(m_pTray->ToolTip().contains(
        QString::fromStdString("Recording to " + m_remote.Window().Core().RecordFile())));

    m_pTray->RecordAction().trigger();
    EXPECT_EQ(m_remote.Window().Recording(), 0);
    EXPECT_FALSE(m_pTray->ToolTip().contains("Recording"));
}

TEST_F(TrayIconTest, ClosingTheWindowKeepsTheRadioInTheTray) {
    CRadioDlg& window = m_remote.Window();
    window.SetCloseToTray(true);
    ASSERT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.IsWindow());  // no close sequence: the radio still plays
    EXPECT_EQ(window.Core().ReceiverMute(), 0);
    m_pTray->Refresh();
    EXPECT_EQ(m_pTray->WindowAction().text(), "Show the window");
    m_pTray->WindowAction().trigger();
    EXPECT_TRUE(window.isVisible());

    m_pTray->Menu().actions().back()->trigger();
    EXPECT_EQ(m_nQuits, 1);
}

// The tray speaks the language of the windows.
TEST(TrayIconLanguageTest, TheMenuTakesItsTextsFromTheLanguageFile) {
    CRemoteRig remote;
    std::ofstream(remote.m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=2\nLANGUAGE_1=English\nLANGUAGE_2=Japanese\n[Japanese]\n"
           "MESSAGE_63=\xE3\x83\x97\xE3\x83\xAA\xE3\x82\xBB\xE3\x83\x83\xE3\x83\x88\n"
           "MESSAGE_64=Rec\nMESSAGE_66=Show\nMESSAGE_67=Hide\nMESSAGE_68=End\nBI_SET=Sets\n";
    remote.m_rig.m_profile.WriteProfileInt("SET", "LANGUAGE", 1);
    std::string strWhy;
    ASSERT_TRUE(remote.Open(strWhy)) << strWhy;
    CTrayIcon tray(remote.Remote(), {[] { return true; }, [](bool) {}, [] {}});
    tray.Refresh();
    QStringList texts;
    for (QAction* pAction : tray.Menu().actions()) {
        if (!pAction->isSeparator()) {
            texts.append(pAction->text());
        }
    }
    EXPECT_EQ(texts, (QStringList{"\u30D7\u30EA\u30BB\u30C3\u30C8", "Rec", "Hide", "Sets", "End"}));
}

TEST_F(TrayIconTest, WithoutATrayClosingRunsTheCloseSequence) {
    CRadioDlg& window = m_remote.Window();
    window.close();
    EXPECT_FALSE(window.IsWindow());
    EXPECT_EQ(window.Core().ReceiverMute(), 1);
}

}  // namespace
