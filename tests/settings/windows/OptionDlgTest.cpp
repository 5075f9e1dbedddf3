#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPointer>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/profile/Settings.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "platform/window/WindowMessages.h"
#include "receiver/V4l2ReceiverFactory.h"
#include "settings/windows/OptionDlg.h"
#include "tests/app/CoreRig.h"
#include "tests/receiver/ScriptedReceiverFactory.h"
#include "tests/settings/ScopedLocale.h"

namespace {

constexpr uint32_t kLine = MIXERLINE_COMPONENTTYPE_SRC_LINE;

class OptionDlgTest : public ::testing::Test {
protected:
    OptionDlgTest() {
        m_owner.setGeometry(100, 100, 640, 400);
        m_owner.show();
    }

    // Opened as the main window opens its tool windows.
    void Open() {
        m_pDialog = new COptionDlg(&m_rig.Core(), nullptr, &m_owner);
        m_pDialog->setWindowFlag(Qt::Tool);
        m_pDialog->setAttribute(Qt::WA_DeleteOnClose);
        ASSERT_TRUE(m_pDialog->Create()) << m_pDialog->LastError();
        m_pDialog->show();
    }
    QComboBox& Combo(int nId) { return *m_pDialog->GetDlgItemAs<QComboBox>(nId); }
    QStringList Items(int nId) {
        QStringList items;
        for (int n = 0; n < Combo(nId).count(); ++n) {
            items << Combo(nId).itemText(n);
        }
        return items;
    }
    void Click(int nId) { m_pDialog->GetDlgItemAs<QAbstractButton>(nId)->click(); }
    void PickDevice(int nIndex) {
        Combo(COptionDlg::IDC_DEVICE).setCurrentIndex(nIndex);
        Q_EMIT Combo(COptionDlg::IDC_DEVICE).activated(nIndex);
    }
    static void Settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void AddCard(std::vector<SSimSoundCardInput> inputs) {
        m_rig.Card();
        SSimSoundCardLayout layout;
        layout.strProductName = "USB Audio";
        layout.inputs = std::move(inputs);
        m_pSecondCard = std::make_unique<CSimSoundCard>(m_rig.m_mixer, layout);
    }

    CCoreRig m_rig;
    std::unique_ptr<CSimSoundCard> m_pSecondCard;
    QWidget m_owner;
    QPointer<COptionDlg> m_pDialog;
};

// On a Japanese desktop: elsewhere a fresh profile follows the locale.
TEST_F(OptionDlgTest, FreshProfileShowsDefaultsInTheSecondLanguage) {
    CScopedLocale locale("ja_JP.UTF-8");
    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=2\nLANGUAGE_1=English\nLANGUAGE_2=Japanese\n"
           "[Japanese]\nOP_WINTITLE=設定\nOP_SCANLEVEL_HIGH=高\nOP_SCANLEVEL_MIDDLE=中\n"
           "OP_SCANLEVEL_LOW=低\nOP_LANGUAGE_1=英語\nOP_LANGUAGE_2=日本語\n";
    Open();
    EXPECT_EQ(m_pDialog->GetDlgItemText(COptionDlg::IDC_TITLE), "設定");
    EXPECT_EQ(m_pDialog->windowTitle(), "設定");
    EXPECT_EQ(Combo(COptionDlg::IDC_STANDARD).currentIndex(), 1);
    EXPECT_EQ(Items(COptionDlg::IDC_SCAN_LEVEL), (QStringList{"高", "中", "低"}));
    EXPECT_EQ(Combo(COptionDlg::IDC_SCAN_LEVEL).currentText(), "中");
    EXPECT_EQ(m_pDialog->GetDlgItemText(COptionDlg::IDC_PATH), m_rig.RecordFolder());
    EXPECT_EQ(Items(COptionDlg::IDC_LANGUAGE), (QStringList{"英語", "日本語"}));
    EXPECT_EQ(Combo(COptionDlg::IDC_LANGUAGE).currentIndex(), 1);
    // No stored input: the first line or microphone source.
    EXPECT_EQ(Items(COptionDlg::IDC_PORT), (QStringList{"Line In", "Microphone"}));
    EXPECT_EQ(Combo(COptionDlg::IDC_PORT).currentText(), "Line In");
    EXPECT_EQ(m_pDialog->pos(), m_owner.frameGeometry().topRight() + QPoint(1, 0));
}

TEST_F(OptionDlgTest, OkStoresEverythingAndMakesTheRadioTakeItUp) {
    CRadioCore& core = m_rig.Core();
    Open();
    Combo(COptionDlg::IDC_STANDARD).setCurrentIndex(0);
    Combo(COptionDlg::IDC_PORT).setCurrentIndex(1);
    m_pDialog->SetDlgItemText(COptionDlg::IDC_PATH, "/srv/radio");
    Combo(COptionDlg::IDC_RECORD_TYPE).setCurrentIndex(3);
    m_pDialog->SetDlgItemText(COptionDlg::IDC_NAME_PATTERN, " {date} {station} ");
    Click(CDialog::IDOK);
    Settle();

    const CProfile& profile = m_rig.m_profile;
    EXPECT_EQ(profile.GetProfileInt("SET", "BAND", -9), 0);
    EXPECT_EQ(profile.GetProfileString("SET", "PATH"), "/srv/radio");
    EXPECT_EQ(CSettings(m_rig.m_profile).RecordFormat(), ERecordFormat::Opus);
    EXPECT_EQ(profile.GetProfileString("SET", "NAMEPATTERN"), "{date} {station}");
    EXPECT_EQ(profile.GetProfileInt("SET", "PinType", 0), 4099);
    // No language file: an empty language list stores -1, which reads as English.
    EXPECT_EQ(profile.GetProfileInt("SET", "LANGUAGE", -9), -1);
    EXPECT_EQ(core.Language(), "English");
    EXPECT_EQ(m_rig.m_window.Count(WM_LANGUAGE_CHANGED, true), 1);
    EXPECT_EQ(m_rig.Core().Steps(CTuner::BAND_FM).Lower(), 8750u) << "Europe";
    EXPECT_FALSE(m_rig.Card().IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE))
        << "the receiver is heard on the new input";
    EXPECT_TRUE(m_pDialog.isNull()) << "the window freed itself";
}

// Only the OK button stores: Enter in the path box neither stores nor closes.
TEST_F(OptionDlgTest, EnterStoresNothingAndKeepsTheWindow) {
    Open();
    m_pDialog->SetDlgItemText(COptionDlg::IDC_PATH, "/srv/radio");
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(m_pDialog->GetDlgItem(COptionDlg::IDC_PATH), &press);
    Settle();
    ASSERT_FALSE(m_pDialog.isNull());
    EXPECT_TRUE(m_pDialog->IsWindow());
    EXPECT_EQ(m_pDialog->GetDlgItemText(COptionDlg::IDC_PATH), "/srv/radio");
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "PATH"), m_rig.RecordFolder());
    EXPECT_EQ(m_rig.m_window.Count(WM_LANGUAGE_CHANGED, true), 0);
}

TEST_F(OptionDlgTest, PortsFollowTheStoredTypeOnEveryDevice) {
    AddCard({{kLine, "Line A"}, {kLine, "Line B"}});
    m_rig.m_profile.WriteProfileString("SET", "DeviceName", "Card that was unplugged");
    Open();
    EXPECT_EQ(Combo(COptionDlg::IDC_DEVICE).currentIndex(), 0) << "a lost device: the first";
    EXPECT_EQ(Combo(COptionDlg::IDC_PORT).currentText(), "Microphone") << "PinType 4099";
    Combo(COptionDlg::IDC_PORT).setCurrentIndex(0);  // the user's pick is not stored
    PickDevice(1);
    EXPECT_EQ(Items(COptionDlg::IDC_PORT), (QStringList{"Line A", "Line B"}));
    EXPECT_EQ(Combo(COptionDlg::IDC_PORT).currentText(), "Line A") << "no microphone: the first";
    PickDevice(0);
    EXPECT_EQ(Combo(COptionDlg::IDC_PORT).currentText(), "Microphone");

    // Of two ports of the stored type the last, unless one bears the stored name.
    m_rig.m_profile.WriteProfileInt("SET", "PinType", 4098);
    PickDevice(1);
    EXPECT_EQ(Combo(COptionDlg::IDC_PORT).currentText(), "Line B");
    m_rig.m_profile.WriteProfileString("SET", "PinName", "Line A");
    PickDevice(1);
    EXPECT_EQ(Combo(COptionDlg::IDC_PORT).currentText(), "Line A");
}

TEST_F(OptionDlgTest, ADeviceThatCannotBeNamedDoesNotShiftTheOthersPorts) {
    AddCard({{kLine, "Line A"}});
    m_rig.Core();
    m_rig.m_mixer.SetCapsReadable(m_rig.Card().DeviceID(), false);
    Open();
    EXPECT_EQ(Items(COptionDlg::IDC_DEVICE), (QStringList{"USB Audio"}));
    EXPECT_EQ(Items(COptionDlg::IDC_PORT), (QStringList{"Line A"}));
}

TEST_F(OptionDlgTest, SnapsBackWhenDraggedNearAndCancelStoresNothing) {
    Open();
    const QPoint corner = m_owner.frameGeometry().topRight() + QPoint(1, 0);
    m_pDialog->move(corner + QPoint(6, -6));
    Settle();
    EXPECT_EQ(m_pDialog->frameGeometry().topLeft(), corner);
    m_pDialog->move(corner + QPoint(7, 0));
    Settle();
    EXPECT_EQ(m_pDialog->frameGeometry().topLeft(), corner + QPoint(7, 0));

    // The whole path, however long: a folder cut short would be another folder.
    const std::string strLong = "/media/" + std::string(300, 'r');
    m_pDialog->SetFolderBrowser(
        [&](QWidget*, const std::string&, const std::string&) { return strLong; });
    Click(COptionDlg::IDC_BROWSE);
    EXPECT_EQ(m_pDialog->GetDlgItemText(COptionDlg::IDC_PATH), strLong);
    Click(CDialog::IDCANCEL);
    Settle();
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "PATH"), m_rig.RecordFolder());
    EXPECT_TRUE(m_pDialog.isNull());
}

// A receiver that brings its own audio is recorded from it: no card's input
// is offered.
TEST_F(OptionDlgTest, AReceiverWithItsOwnAudioOffersNoInputToChoose) {
    CScriptedReceiverFactory receivers({});
    m_rig.UseReceivers(receivers);
    Open();
    EXPECT_FALSE(Combo(COptionDlg::IDC_DEVICE).isEnabled());
    EXPECT_FALSE(Combo(COptionDlg::IDC_PORT).isEnabled());
    EXPECT_TRUE(Combo(COptionDlg::IDC_STANDARD).isEnabled());
    Click(CDialog::IDCANCEL);
    Settle();
}

// Two radios of the V4L2 kind: the window names both and opens the one
// picked as the main window would a receiver plugged in.
TEST_F(OptionDlgTest, WithSeveralRadiosTheUserPicksOneByName) {
    CSimV4l2Services v4l2;
    CSimAudioCaptureServices capture;
    CSimAudioOutputServices output;
    CV4l2ReceiverFactory radios({v4l2, capture, output});
    SSimV4l2Layout kitchen;
    kitchen.strName = "Kitchen radio";
    kitchen.strId = "usb:10c4:818a:KITCHEN";
    SSimV4l2Layout desk;
    desk.strName = "Desk radio";
    desk.strId = "usb:10c4:818a:DESK";
    const int nKitchen = v4l2.AddRadio(kitchen);
    const int nDesk = v4l2.AddRadio(desk);
    m_rig.UseReceivers(radios);
    CRadioCore& core = m_rig.Core();
    ASSERT_EQ(core.CheckDevice(), 1);
    ASSERT_EQ(v4l2.OpenHandles(nKitchen), 1);

    Open();
    EXPECT_TRUE(Combo(COptionDlg::IDC_RECEIVER).isVisible());
    EXPECT_EQ(Items(COptionDlg::IDC_RECEIVER), (QStringList{"Kitchen radio", "Desk radio"}));
    EXPECT_EQ(Combo(COptionDlg::IDC_RECEIVER).currentIndex(), 0);
    Combo(COptionDlg::IDC_RECEIVER).setCurrentIndex(1);
    Click(CDialog::IDOK);
    Settle();

    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "RECEIVERDEVICE"), "usb:10c4:818a:DESK");
    EXPECT_EQ(m_rig.m_window.Count(WM_DEVICECHANGE, false), 1);
    EXPECT_EQ(core.DevicePresent(), 0);
    EXPECT_EQ(core.CheckDevice(), 1);
    EXPECT_EQ(v4l2.OpenHandles(nKitchen), 0);
    EXPECT_EQ(v4l2.OpenHandles(nDesk), 1);

    // The same choice again changes nothing.
    Open();
    EXPECT_EQ(Combo(COptionDlg::IDC_RECEIVER).currentIndex(), 1);
    Click(CDialog::IDOK);
    Settle();
    EXPECT_EQ(m_rig.m_window.Count(WM_DEVICECHANGE, false), 1);
    EXPECT_EQ(core.DevicePresent(), 1);
}

// With nothing to choose the row is left out and the rows below move up.
TEST_F(OptionDlgTest, WithOneReceiverThereIsNoReceiverRow) {
    Open();
    const QWidget* pStandard = m_pDialog->GetDlgItem(COptionDlg::IDC_STANDARD);
    const QWidget* pReceivers = m_pDialog->GetDlgItem(COptionDlg::IDC_RECEIVER);
    ASSERT_NE(pStandard, nullptr);
    ASSERT_NE(pReceivers, nullptr);
    EXPECT_FALSE(pReceivers->isVisible());
    EXPECT_FALSE(m_pDialog->GetDlgItem(COptionDlg::IDC_LABEL_RECEIVER)->isVisible());
    EXPECT_EQ(pStandard->y(), pReceivers->y());
    const QWidget* pOk = m_pDialog->GetDlgItem(CDialog::IDOK);
    EXPECT_LE(pOk->geometry().bottom(), m_pDialog->height());
    EXPECT_LT(m_pDialog->height() - pOk->geometry().bottom(), pOk->height());
    Click(CDialog::IDOK);
    Settle();
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "RECEIVERDEVICE"), "");
}

}  // namespace
