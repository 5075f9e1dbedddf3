#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "skin/CommandMap.h"
#include "skin/DataExchange.h"
#include "skin/Dialog.h"
#include "skin/SkinEngine.h"
#include "skin/SkinMeter.h"
#include "skin/WindowTimers.h"

namespace {

using Notice = std::pair<int, CCommandMap::ENotify>;

TEST(DialogTest, ControlNotificationsReachTheMapByIdentifier) {
    CDialog dialog(132, nullptr);
    ASSERT_TRUE(dialog.Create()) << dialog.LastError();
    std::vector<Notice> notices;
    for (const Notice& notice : std::vector<Notice>{{1049, CCommandMap::Clicked},
                                                    {1024, CCommandMap::SelChange},
                                                    {1042, CCommandMap::DblClk},
                                                    {1047, CCommandMap::KillFocus}}) {
        dialog.Commands().On(notice.first, notice.second,
                             [&notices, notice] { notices.push_back(notice); });
    }
    dialog.show();

    QTest::mouseClick(dialog.GetDlgItem(1049), Qt::LeftButton);
    auto* pModel = dialog.GetDlgItemAs<QComboBox>(1024);
    pModel->setCurrentIndex(1);  // code changing the selection notifies nothing
    Q_EMIT pModel->activated(0);
    auto* pList = dialog.GetDlgItemAs<QTreeWidget>(1042);
    QTest::mouseDClick(pList->viewport(), Qt::LeftButton);
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(dialog.GetDlgItem(1047), &focusOut);

    EXPECT_EQ(notices, (std::vector<Notice>{{1049, CCommandMap::Clicked},
                                            {1024, CCommandMap::SelChange},
                                            {1042, CCommandMap::DblClk},
                                            {1047, CCommandMap::KillFocus}}));
    EXPECT_FALSE(dialog.Commands().Dispatch(1050, CCommandMap::Clicked)) << "no handler";
}

TEST(DialogTest, TrackbarReleaseComesAfterTheDraggedPosition) {
    // Skinned, so that the handle is drawn where QSlider looks for it.
    CSkinEngine engine;
    ASSERT_TRUE(engine.Initialise("KestrelFM") && engine.LoadSkin("SKIN", "KESTRELSKIN"));
    CDialog dialog(131, &engine);
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(engine.ApplySkin(&dialog, "PlayWin"));
    auto* pSlider = dialog.GetDlgItemAs<QSlider>(1050);
    pSlider->setRange(0, 100);
    int nSeen = -1;
    dialog.Commands().On(1050, CCommandMap::ReleasedCapture, [&] { nSeen = pSlider->value(); });
    dialog.show();

    const int y = pSlider->height() / 2;
    QTest::mousePress(pSlider, Qt::LeftButton, {}, QPoint(4, y));
    QTest::mouseMove(pSlider, QPoint(pSlider->width() / 2, y));
    QTest::mouseRelease(pSlider, Qt::LeftButton, {}, QPoint(pSlider->width() / 2, y));
    EXPECT_EQ(nSeen, -1) << "the notification is queued behind the release";
    QApplication::processEvents();
    EXPECT_GT(pSlider->value(), 30);
    EXPECT_LT(pSlider->value(), 70);
    EXPECT_EQ(nSeen, pSlider->value());
}

TEST(DialogTest, OkCancelAndCloseEndInTheDefaultsUnlessMapped) {
    // Cancel on a modeless dialog destroys it; with WA_DeleteOnClose it frees itself.
    QPointer<CDialog> pOptions = new CDialog(133, nullptr);
    pOptions->setAttribute(Qt::WA_DeleteOnClose);
    ASSERT_TRUE(pOptions->Create());
    pOptions->show();
    QTest::mouseClick(pOptions->GetDlgItem(CDialog::IDCANCEL), Qt::LeftButton);
    ASSERT_FALSE(pOptions.isNull());
    EXPECT_FALSE(pOptions->IsWindow());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(pOptions.isNull());

    // A mapped OK replaces the default; Enter and the close box are OK and Cancel.
    CDialog taskList(138, nullptr);
    ASSERT_TRUE(taskList.Create());
    int nOk = 0;
    int nCancel = 0;
    taskList.Commands().On(CDialog::IDOK, CCommandMap::Clicked, [&] { ++nOk; });
    taskList.Commands().On(CDialog::IDCANCEL, CCommandMap::Clicked, [&] { ++nCancel; });
    taskList.show();
    QTest::keyClick(&taskList, Qt::Key_Return);
    taskList.close();
    QTest::keyClick(&taskList, Qt::Key_Escape);
    EXPECT_EQ(nOk, 1);
    EXPECT_EQ(nCancel, 2);
    EXPECT_TRUE(taskList.IsWindow());
}

// A tool window that holds typed entries: Enter is no command in it, while
// a default button still answers Enter.
class CNoEnterDlg : public CDialog {
public:
    explicit CNoEnterDlg(int nTemplateId) : CDialog(nTemplateId, nullptr) { SetEnterIsOk(false); }
};

TEST(DialogTest, EnterCanBeNoCommandWithoutADefaultButton) {
    CNoEnterDlg shortKeys(132);
    ASSERT_TRUE(shortKeys.Create());
    int nOk = 0;
    shortKeys.Commands().On(CDialog::IDOK, CCommandMap::Clicked, [&] { ++nOk; });
    shortKeys.show();
    QTest::keyClick(shortKeys.GetDlgItem(1047), Qt::Key_Return);
    QTest::keyClick(&shortKeys, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(nOk, 0);
    EXPECT_TRUE(shortKeys.IsWindow());

    CNoEnterDlg newTask(137);  // "&Add" is its default button
    ASSERT_TRUE(newTask.Create());
    newTask.Commands().On(CDialog::IDOK, CCommandMap::Clicked, [&] { ++nOk; });
    newTask.show();
    QTest::keyClick(newTask.GetDlgItem(1047), Qt::Key_Return);
    EXPECT_EQ(nOk, 1);
}

// The new task dialog's members, exchanged as that dialog does.
class CExchangeDlg : public CDialog {
public:
    CExchangeDlg() : CDialog(137, nullptr) {}

    std::string m_strMemo = "Jazz";
    int m_nBand = 1;
    int m_nMute = 1;
    std::time_t m_EndTime = 1715032800;  // a whole minute
    bool m_bMissing = false;
    int m_nMissing = 7;

protected:
    void DoDataExchange(CDataExchange& dx) override {
        dx.Text(1022, m_strMemo);
        dx.CBIndex(1027, m_nBand);
        dx.Check(1031, m_nMute);
        dx.DateTime(1026, m_EndTime);
        if (m_bMissing) {
            dx.CBIndex(4711, m_nMissing);
        }
    }
};

TEST(DialogTest, DataExchangeWritesMembersAndReadsThemBack) {
    CExchangeDlg dialog;
    ASSERT_TRUE(dialog.Create());  // OnInitDialog writes the members
    EXPECT_EQ(dialog.GetDlgItemText(1022), "Jazz");
    EXPECT_EQ(dialog.GetDlgItemAs<QComboBox>(1027)->currentText(), "FM");
    EXPECT_TRUE(dialog.GetDlgItemAs<QCheckBox>(1031)->isChecked());

    dialog.SetDlgItemText(1022, "Talk");
    dialog.GetDlgItemAs<QComboBox>(1027)->setCurrentIndex(0);
    dialog.GetDlgItemAs<QCheckBox>(1031)->setChecked(false);
    auto* pEnd = dialog.GetDlgItemAs<QDateTimeEdit>(1026);
    pEnd->setDateTime(pEnd->dateTime().addSecs(90 * 60));
    ASSERT_TRUE(dialog.UpdateData(true));
    EXPECT_EQ(dialog.m_strMemo, "Talk");
    EXPECT_EQ(dialog.m_nBand, 0);
    EXPECT_EQ(dialog.m_nMute, 0);
    EXPECT_EQ(dialog.m_EndTime, 1715032800 + 90 * 60);

    dialog.m_bMissing = true;
    EXPECT_FALSE(dialog.UpdateData(true)) << "a binding without its control fails";
    EXPECT_EQ(dialog.m_nMissing, 7);
    EXPECT_EQ(dialog.m_strMemo, "Talk") << "the other bindings still ran";
}

TEST(DialogTest, SubclassedControlTakesTheTemplateControlsPlace) {
    CSkinEngine engine;
    CDialog window(102, &engine);
    ASSERT_TRUE(window.Create());
    const QRect rect = window.GetDlgItem(1028)->geometry();
    QPointer<QWidget> pOld = window.GetDlgItem(1028);
    auto* pMeter = new CSkinMeter(engine);
    ASSERT_TRUE(window.SubclassDlgItem(1028, pMeter));
    EXPECT_TRUE(pOld.isNull());
    EXPECT_EQ(window.GetDlgItem(1028), pMeter);
    EXPECT_EQ(pMeter->parentWidget(), &window);
    EXPECT_EQ(pMeter->geometry(), rect);
    EXPECT_TRUE(pMeter->isHidden()) << "1028 is hidden until a recording starts";
    EXPECT_FALSE(window.SubclassDlgItem(4711, new CSkinMeter(engine, &window)));
}

TEST(DialogTest, WindowTimersTickByIdentifierUntilKilled) {
    std::vector<int> ticks;
    CWindowTimers timers([&](int nId) { ticks.push_back(nId); });
    timers.Set(800, 5);
    timers.Set(800, 20);  // re-armed, not doubled
    EXPECT_TRUE(timers.IsSet(800));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.size() >= 2; }, 5000));
    EXPECT_TRUE(timers.Kill(800));
    EXPECT_FALSE(timers.Kill(800));
    const size_t nTicks = ticks.size();
    QTest::qWait(60);
    EXPECT_EQ(ticks.size(), nTicks);
    EXPECT_EQ(std::count(ticks.begin(), ticks.end(), 800), static_cast<long>(ticks.size()));
}

}  // namespace
