#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"
#include "presets/windows/ShortKeyDlg.h"
#include "skin/CommandMap.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"
#include "tests/receiver/ScriptedReceiverFactory.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;
constexpr int AM = CPresetStore::BAND_AM;

class ShortKeyDlgTest : public ::testing::Test {
protected:
    ShortKeyDlgTest() {
        m_skin.Initialise("KestrelFM");
        m_skin.LoadSkin("SKIN", "KESTRELSKIN");
        m_main.setGeometry(100, 100, 640, 400);
        m_main.show();
    }
    ~ShortKeyDlgTest() override { delete m_pDlg.data(); }

    // The regional standard: its FM limits bound what the window takes.
    static constexpr int kEurope = 0;
    static constexpr int kJapan = 1;
    void UsePlan(int nPlan) {
        m_rig.m_profile.WriteProfileInt("SET", "BAND", nPlan);
        m_rig.Core().ApplyBandPlan();
    }

    // Opened as the main window opens it, on first use.
    CShortKeyDlg& Dlg() {
        if (!m_pDlg) {
            UsePlan(kEurope);
            m_rig.Core().TuneTo(m_nTuned);
            m_pDlg = new CShortKeyDlg(&m_rig.Core(), &m_skin, &m_main);
            m_pDlg->setWindowFlag(Qt::Tool);
            m_pDlg->setAttribute(Qt::WA_DeleteOnClose);
            EXPECT_TRUE(m_pDlg->Create());
            m_pDlg->show();
            QApplication::processEvents();
        }
        return *m_pDlg;
    }
    QTreeWidget& List() { return *Dlg().GetDlgItemAs<QTreeWidget>(CShortKeyDlg::IDC_LIST); }
    QComboBox& Combo(int nId) { return *Dlg().GetDlgItemAs<QComboBox>(nId); }
    std::string Cell(int nRow, int nColumn) {
        return List().topLevelItem(nRow)->text(nColumn).toStdString();
    }
    void Click(int nId) { Dlg().GetDlgItemAs<QAbstractButton>(nId)->click(); }
    void Type(int nId, const char* pText) {
        Dlg().GetDlgItemAs<QLineEdit>(nId)->setText(pText);
        QFocusEvent focusOut(QEvent::FocusOut);
        QApplication::sendEvent(Dlg().GetDlgItem(nId), &focusOut);
    }
    void PressEnter(int nId) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(Dlg().GetDlgItem(nId), &press);
    }
    void ChooseModel(int nBand) {
        Combo(CShortKeyDlg::IDC_MODEL).setCurrentIndex(nBand);
        Q_EMIT Combo(CShortKeyDlg::IDC_MODEL).activated(nBand);
    }
    void Preset(int nBand, int n, uint32_t f, const char* pTitle) {
        CPresetStore(m_rig.m_profile)
            .WriteSlot(nBand, n, nBand == FM ? f | CPresetStore::kFmBit : f, pTitle);
    }
    uint32_t Stored(int nBand, int n) { return CPresetStore(m_rig.m_profile).ReadValue(nBand, n); }
    int PresetNotices() { return m_rig.m_window.Count(WM_PRESETS_CHANGED, false); }
    SWindowMessage LastNotice() {
        SWindowMessage last{};
        for (const SWindowMessage& m : m_rig.m_window.Messages()) {
            last = m.message == WM_PRESETS_CHANGED ? m : last;
        }
        return last;
    }

    CCoreRig m_rig;
    CSkinEngine m_skin;
    QWidget m_main;
    unsigned m_nTuned = 9810;
    QPointer<CShortKeyDlg> m_pDlg;
};

TEST_F(ShortKeyDlgTest, OpensOnTheTunedStationsSlotBesideTheMainWindow) {
    Preset(FM, 0, 8750, "NHK FM");
    Preset(FM, 1, 9810, "Tokyo");
    Dlg();

    EXPECT_EQ(Dlg().pos(),
              QPoint(m_main.frameGeometry().right() + 1, m_main.frameGeometry().top()));
    ASSERT_EQ(List().topLevelItemCount(), 100);
    EXPECT_EQ(Cell(0, 0) + Cell(0, 1) + Cell(0, 2) + Cell(0, 3), "0FM87.50MHzNHK FM");
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_FREQUENCY), "98.10");
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_TITLE), "Tokyo");
    EXPECT_EQ(Dlg().KeyIndex(), 1);
    EXPECT_EQ(Combo(CShortKeyDlg::IDC_KEY).currentText(), "1");
    // The model box is as high as its label and sits just right of it.
    const QRect label = Dlg().GetDlgItem(CShortKeyDlg::IDC_MODEL_LABEL)->geometry();
    EXPECT_EQ(Combo(CShortKeyDlg::IDC_MODEL).geometry(),
              QRect(label.x() + label.width() + 2, label.y(), 126, label.height()));

    Type(CShortKeyDlg::IDC_FREQUENCY, "87.5");  // leaving the box finds 87.50MHz
    EXPECT_EQ(Dlg().KeyIndex(), 0);
    EXPECT_EQ(List().selectedItems().value(0), List().topLevelItem(0));
}

TEST_F(ShortKeyDlgTest, AnEmptyBandSelectsRowZeroAndTheKeyBoxKeepsItsHundredEntries) {
    Preset(FM, 0, 8750, "");
    m_nTuned = 9000;  // no slot of its own: the key index is the first empty slot
    EXPECT_EQ(Dlg().KeyIndex(), 1);
    for (int nBand : {AM, FM, AM, FM, AM}) {
        ChooseModel(nBand);
    }
    EXPECT_EQ(Combo(CShortKeyDlg::IDC_KEY).count(), 100);
    EXPECT_EQ(Combo(CShortKeyDlg::IDC_KEY).currentText(), "1") << "a band change keeps the key";
    EXPECT_EQ(Cell(0, 2), "");
    EXPECT_EQ(List().selectedItems().value(0), List().topLevelItem(0));
}

TEST_F(ShortKeyDlgTest, ApplyStoresTheTypedStationAndRefusesOneOutsideTheBand) {
    Preset(FM, 0, 8750, "");
    m_nTuned = 9000;
    Dlg();
    Type(CShortKeyDlg::IDC_FREQUENCY, "98.1");
    Dlg().GetDlgItemAs<QLineEdit>(CShortKeyDlg::IDC_TITLE)->setText("J-Wave");
    Click(CShortKeyDlg::IDC_APPLY);

    EXPECT_EQ(Stored(FM, 1), 9810u | CPresetStore::kFmBit);
    EXPECT_EQ(Cell(1, 1) + Cell(1, 2) + Cell(1, 3), "FM98.1MHzJ-Wave") << "as typed";
    ASSERT_EQ(PresetNotices(), 1);
    EXPECT_EQ(LastNotice().wParam, 1u);
    EXPECT_EQ(LastNotice().lParam, 1);
    ChooseModel(FM);
    EXPECT_EQ(Cell(1, 2), "98.10MHz") << "as stored, once refilled";

    Type(CShortKeyDlg::IDC_FREQUENCY, "86");
    Combo(CShortKeyDlg::IDC_KEY).setCurrentIndex(5);
    Click(CShortKeyDlg::IDC_APPLY);
    EXPECT_EQ(Stored(FM, 5), 0u);
    EXPECT_EQ(PresetNotices(), 1);
    EXPECT_TRUE(m_rig.m_boxes.Shown().empty());
}

TEST_F(ShortKeyDlgTest, DeleteClearsTheSelectedSlotButLeavesItsTitleKey) {
    Preset(FM, 5, 9810, "Tokyo");
    Dlg();
    List().setCurrentItem(List().topLevelItem(5));
    Click(CShortKeyDlg::IDC_DELETE);
    EXPECT_EQ(Stored(FM, 5), 0u);
    EXPECT_EQ(m_rig.m_profile.GetProfileString("KEYS", "KEY_FM_5_Title"), "Tokyo");
    EXPECT_EQ(Cell(5, 1) + Cell(5, 2) + Cell(5, 3), "");
    ASSERT_EQ(PresetNotices(), 1);
    EXPECT_EQ(LastNotice().wParam + static_cast<uintptr_t>(LastNotice().lParam), 0u);
}

TEST_F(ShortKeyDlgTest, DoubleClickCopiesTheRowAndAnEmptyRowSetsFm) {
    Preset(AM, 2, 1008, "Kansai");
    m_rig.Core().SelectBand(AM);
    Dlg();
    List().setCurrentItem(List().topLevelItem(2));
    Dlg().Commands().Dispatch(CShortKeyDlg::IDC_LIST, CCommandMap::DblClk);
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_FREQUENCY), "1008");
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_TITLE), "Kansai");

    // An empty row of the AM list: the model box goes to FM, the list stays.
    List().setCurrentItem(List().topLevelItem(6));
    Dlg().Commands().Dispatch(CShortKeyDlg::IDC_LIST, CCommandMap::DblClk);
    EXPECT_EQ(Dlg().ModelIndex(), FM);
    EXPECT_EQ(Combo(CShortKeyDlg::IDC_MODEL).currentText(), "FM");
    EXPECT_EQ(Dlg().KeyIndex(), 6);
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_FREQUENCY), "");
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_TITLE), "");
    EXPECT_EQ(Cell(2, 2), "1008KHz");
}

// Every channel of both FM band plans, typed as the window shows it and as
// one would type it, is stored as exactly that channel: 80.10 is 8010, not
// the 8009 a truncated 80.1 x 100 gives.
TEST_F(ShortKeyDlgTest, EveryFmChannelIsStoredExactly) {
    m_nTuned = 9010;  // the station tuned, as the window opens on it
    Dlg();
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_FREQUENCY), "90.10");
    for (const int nPlan : {kJapan, kEurope}) {
        UsePlan(nPlan);
        const CTuningSteps steps = m_rig.Core().Steps(FM);
        for (unsigned f = steps.Lower(); f <= steps.Upper(); f += 10) {
            const std::string strShown = CPresetStore::FrequencyNumber(FM, f);
            for (const std::string& strText : {strShown, strShown.substr(0, strShown.size() - 1)}) {
                Type(CShortKeyDlg::IDC_FREQUENCY, strText.c_str());
                Combo(CShortKeyDlg::IDC_KEY).setCurrentIndex(0);
                Click(CShortKeyDlg::IDC_APPLY);
                ASSERT_EQ(Stored(FM, 0), f | CPresetStore::kFmBit) << strText;
            }
        }
    }
}

// Enter in the frequency box neither applies nor closes: the typed frequency
// stays for Apply.
TEST_F(ShortKeyDlgTest, EnterKeepsTheWindowAndTheTypedFrequency) {
    Dlg().GetDlgItemAs<QLineEdit>(CShortKeyDlg::IDC_FREQUENCY)->setText("80.1");
    PressEnter(CShortKeyDlg::IDC_FREQUENCY);
    QApplication::processEvents();
    ASSERT_FALSE(m_pDlg.isNull());
    EXPECT_TRUE(Dlg().IsWindow());
    EXPECT_TRUE(Dlg().isVisible());
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_FREQUENCY), "80.1");
    EXPECT_EQ(PresetNotices(), 0);
}

TEST_F(ShortKeyDlgTest, AFailedWriteIsReportedInTheLanguageAndNotShown) {
    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=1\nLANGUAGE_1=English\n"
           "[English]\nBI_WINTITLE=Presets\nMESSAGE_17=Not saved.\n";
    m_nTuned = 9000;
    Dlg();
    EXPECT_EQ(Dlg().windowTitle(), "Presets");
    std::filesystem::remove(m_rig.m_profile.Path());
    std::filesystem::create_directory(m_rig.m_profile.Path());  // cannot be replaced
    Type(CShortKeyDlg::IDC_FREQUENCY, "98.1");
    Click(CShortKeyDlg::IDC_APPLY);
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].text, "Not saved.");
    EXPECT_EQ(Cell(0, 2), "");
    EXPECT_EQ(PresetNotices(), 0);

    std::filesystem::remove(m_rig.m_dir.File("Language.ini"));  // no file: the English text
    Click(CShortKeyDlg::IDC_APPLY);
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 2u);
    EXPECT_NE(m_rig.m_boxes.Shown()[1].text.find("could not be saved"), std::string::npos);
}

TEST_F(ShortKeyDlgTest, SnapsBackWithinSixPixelsOfItsDockedPlace) {
    const QPoint docked = Dlg().pos();
    Dlg().move(docked + QPoint(5, -5));
    QApplication::processEvents();
    EXPECT_EQ(Dlg().pos(), docked);
    Dlg().move(docked + QPoint(7, 0));
    QApplication::processEvents();
    EXPECT_EQ(Dlg().pos(), docked + QPoint(7, 0));
}

// A station no preset holds yet offers the name it sends as the title.
TEST_F(ShortKeyDlgTest, ANewPresetTakesTheStationsOwnNameAsItsTitle) {
    SScriptedStation station;
    station.nFrequency = 9810;
    station.strName = "KESTREL";
    CScriptedReceiverFactory receivers({station});
    m_rig.UseReceivers(receivers);
    EXPECT_EQ(Dlg().GetDlgItemText(CShortKeyDlg::IDC_TITLE), "KESTREL");
}

}  // namespace
