#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPointer>
#include <QProgressBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "presets/PresetSets.h"
#include "presets/PresetStore.h"
#include "presets/windows/ScanDlg.h"
#include "presets/windows/ShortKeyDlg.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"
#include "tests/receiver/ScriptedReceiverFactory.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;

SScriptedStation Station(unsigned nFrequency, const char* pName) {
    SScriptedStation station;
    station.nFrequency = nFrequency;
    station.strName = pName;
    return station;
}

QString AccessibleName(QWidget* pWidget) {
    QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pWidget);
    return pInterface ? pInterface->text(QAccessible::Name) : QString();
}

class ScanDlgTest : public ::testing::Test {
protected:
    ScanDlgTest() {
        m_skin.Initialise("KestrelFM");
        m_skin.LoadSkin("SKIN", "KESTRELSKIN");
        m_rig.UseReceivers(m_receivers);
        m_rig.UseRealClock();                               // the scan's worker sleeps its dwell
        m_rig.m_profile.WriteProfileInt("SET", "BAND", 1);  // Japan: 76-90 MHz
        m_rig.Core().ApplyBandPlan();
        m_rig.Core().CheckDevice();
        m_rig.Core().TuneTo(8500);
    }
    ~ScanDlgTest() override { delete m_pDlg.data(); }

    CScanDlg& Dlg(int nPage = 0) {
        if (!m_pDlg) {
            m_pDlg = new CScanDlg(&m_rig.Core(), &m_skin, nPage);
            EXPECT_TRUE(m_pDlg->Create());
            m_pDlg->show();
            QApplication::processEvents();
        }
        return *m_pDlg;
    }
    QAbstractButton& Button(int nId) { return *Dlg().GetDlgItemAs<QAbstractButton>(nId); }
    QTreeWidget& Results() { return *Dlg().GetDlgItemAs<QTreeWidget>(CScanDlg::IDC_RESULTS); }
    QProgressBar& Progress() { return *Dlg().GetDlgItemAs<QProgressBar>(CScanDlg::IDC_PROGRESS); }
    bool WaitForScanEnd() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Dlg().IsScanning() && std::chrono::steady_clock::now() < deadline) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return !Dlg().IsScanning();
    }
    void Scan() {
        Button(CScanDlg::IDC_SCAN).click();
        ASSERT_TRUE(WaitForScanEnd());
    }

    CCoreRig m_rig;
    CScriptedReceiverFactory m_receivers{
        {Station(7650, "NHK FM"), Station(8000, ""), Station(8250, "J-WAVE")}};
    CSkinEngine m_skin;
    QPointer<CScanDlg> m_pDlg;
};

TEST_F(ScanDlgTest, AScanListsTheStationsWithTheirNamesAndTunesBackOnlyStoringOnStore) {
    Scan();
    ASSERT_EQ(Results().topLevelItemCount(), 3);
    EXPECT_EQ(Results().topLevelItem(0)->text(CScanDlg::COLUMN_FREQUENCY), "76.50MHz");
    EXPECT_EQ(Results().topLevelItem(0)->text(CScanDlg::COLUMN_NAME), "NHK FM");
    EXPECT_EQ(Progress().value(), Progress().maximum());
    EXPECT_EQ(m_rig.Core().CurrentFrequency(), 8500u);  // where the listener was
    CPresetStore store(m_rig.m_profile);
    EXPECT_EQ(store.FindSlot(FM, 7650), -1);  // nothing before Store

    // The listener keeps two and retitles one.
    Results().topLevelItem(1)->setCheckState(CScanDlg::COLUMN_FREQUENCY, Qt::Unchecked);
    Results().topLevelItem(2)->setText(CScanDlg::COLUMN_NAME, "J-WAVE 81.3");
    Button(CScanDlg::IDC_STORE).click();
    EXPECT_EQ(store.ReadEntry(FM, 0).strTitle, "NHK FM");
    EXPECT_EQ(store.ReadEntry(FM, 1).nFrequency, 8250u);
    EXPECT_EQ(store.ReadEntry(FM, 1).strTitle, "J-WAVE 81.3");
    EXPECT_EQ(store.FindSlot(FM, 8000), -1);
    EXPECT_FALSE(Button(CScanDlg::IDC_STORE).isEnabled());  // once
}

TEST_F(ScanDlgTest, AStoppedScanStoresNothing) {
    Button(CScanDlg::IDC_SCAN).click();
    EXPECT_TRUE(Dlg().IsScanning());
    QApplication::processEvents();
    Button(CScanDlg::IDC_SCAN).click();  // now "Stop"
    ASSERT_TRUE(WaitForScanEnd());
    EXPECT_FALSE(Button(CScanDlg::IDC_STORE).isEnabled());
    Button(CScanDlg::IDC_STORE).click();
    CPresetStore store(m_rig.m_profile);
    for (int n = 0; n < CPresetStore::kSlots; ++n) {
        ASSERT_EQ(store.ReadValue(FM, n), 0u);
    }
    EXPECT_EQ(m_rig.Core().CurrentFrequency(), 8500u);
}

TEST_F(ScanDlgTest, ReplacingThePageAsksFirstAndKeepsTheOtherPages) {
    CPresetStore store(m_rig.m_profile);
    ASSERT_TRUE(store.WriteSlot(FM, 20, CChannelWord::Of(FM, 8900).Value(), "Old"));
    ASSERT_TRUE(store.WriteSlot(FM, 30, CChannelWord::Of(FM, 8910).Value(), "Next page"));
    Dlg(2);
    Scan();
    Button(CScanDlg::IDC_STORE_PAGE).click();
    m_rig.m_boxes.SetConfirm(false);
    Button(CScanDlg::IDC_STORE).click();
    ASSERT_EQ(m_rig.m_boxes.Questions().size(), 1u);
    EXPECT_EQ(store.ReadEntry(FM, 20).strTitle, "Old");  // declined: nothing changed
    m_rig.m_boxes.SetConfirm(true);
    Button(CScanDlg::IDC_STORE).click();
    EXPECT_EQ(store.ReadEntry(FM, 20).nFrequency, 7650u);
    EXPECT_EQ(store.ReadEntry(FM, 22).nFrequency, 8250u);
    EXPECT_EQ(store.ReadValue(FM, 23), 0u);
    EXPECT_EQ(store.ReadEntry(FM, 30).strTitle, "Next page");
}

// A scan would retune the station being recorded: the window says so.
TEST_F(ScanDlgTest, NoScanWhileRecording) {
    ASSERT_TRUE(m_rig.Core().StartRecording());
    Button(CScanDlg::IDC_SCAN).click();
    EXPECT_FALSE(Dlg().IsScanning());
    EXPECT_NE(Dlg().GetDlgItemText(CScanDlg::IDC_STATUS).find("recording"), std::string::npos);
    m_rig.Core().StopRecording();
}

// Worked from the keyboard alone, and read by a screen reader.
TEST_F(ScanDlgTest, TheWindowDrivesFromTheKeyboardAndNamesEveryControl) {
    Dlg().activateWindow();
    QApplication::processEvents();
    for (QWidget* pControl : Dlg().findChildren<QWidget*>()) {
        if (pControl->focusPolicy() == Qt::NoFocus || !pControl->isVisible() ||
            pControl->parentWidget() != &Dlg()) {
            continue;
        }
        EXPECT_FALSE(AccessibleName(pControl).trimmed().isEmpty())
            << pControl->property("kestrelControlId").toInt();
    }
    EXPECT_FALSE(AccessibleName(&Progress()).isEmpty());
    // Enter scans (the default button); the progress bar moves as it goes.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&Results(), &enter);
    QApplication::processEvents();
    ASSERT_TRUE(Dlg().IsScanning());
    int nSeen = 0;
    while (Dlg().IsScanning() && nSeen < 3) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        nSeen = std::max(
            nSeen, Progress().value() > 0 && Progress().value() < Progress().maximum() ? 3 : 0);
    }
    EXPECT_EQ(nSeen, 3);
    ASSERT_TRUE(WaitForScanEnd());
    EXPECT_EQ(Results().topLevelItemCount(), 3);
}

// The short key window switches sets and takes a file in only after showing it.
TEST_F(ScanDlgTest, TheShortKeyWindowSwitchesSetsAndPreviewsAnImport) {
    std::string strWhy;
    ASSERT_TRUE(CPresetSets(m_rig.m_profile).Add("Car", strWhy));
    auto* pShortKeys = new CShortKeyDlg(&m_rig.Core(), &m_skin);
    QPointer<CShortKeyDlg> guard(pShortKeys);
    const std::string strFile = m_rig.m_dir.File("presets.csv");
    std::ofstream(strFile) << "frequency,band,title,flag\n80.00,FM,Imported,0\n";
    pShortKeys->SetFileDialog([&](QWidget*, bool) { return strFile; });
    ASSERT_TRUE(pShortKeys->Create());
    auto* pSets = pShortKeys->GetDlgItemAs<QComboBox>(CShortKeyDlg::IDC_SET);
    ASSERT_EQ(pSets->count(), 3);  // Home, Car, New set...
    EXPECT_FALSE(AccessibleName(pSets).isEmpty());
    pSets->setCurrentIndex(1);
    Q_EMIT pSets->activated(1);
    EXPECT_EQ(CPresetSets(m_rig.m_profile).Current(), "Car");

    m_rig.m_boxes.SetConfirm(false);
    pShortKeys->OnImport();
    ASSERT_EQ(m_rig.m_boxes.Questions().size(), 1u);
    EXPECT_NE(m_rig.m_boxes.Questions()[0].text.find("80.00MHz  Imported"), std::string::npos);
    CPresetStore store(m_rig.m_profile);
    EXPECT_EQ(store.FindSlot(FM, 8000), -1);
    m_rig.m_boxes.SetConfirm(true);
    pShortKeys->OnImport();
    EXPECT_EQ(store.FindSlot(FM, 8000), 0);

    std::ofstream(strFile) << "80.00,FM\n";  // damaged: refused, nothing lost
    pShortKeys->OnImport();
    ASSERT_FALSE(m_rig.m_boxes.Shown().empty());
    EXPECT_NE(m_rig.m_boxes.Shown().back().text.find("line 1"), std::string::npos);
    EXPECT_EQ(store.FindSlot(FM, 8000), 0);
    delete guard.data();
}

}  // namespace
