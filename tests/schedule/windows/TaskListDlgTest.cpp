#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>

#include "platform/names/KestrelNames.h"
#include "schedule/NewTask.h"
#include "schedule/windows/NewTaskDlg.h"
#include "schedule/windows/TaskListDlg.h"
#include "tests/schedule/windows/TaskRig.h"

namespace {

class TaskListDlgTest : public ::testing::Test {
protected:
    TaskListDlgTest() {
        m_mainWindow.setGeometry(100, 100, 300, 200);
        m_mainWindow.show();
    }
    ~TaskListDlgTest() override { delete m_pList.data(); }

    // Opened as the main window opens it.
    CTaskListDlg& List() {
        if (!m_pList) {
            m_pList = new CTaskListDlg(&m_rig.Core(), nullptr, &m_mainWindow);
            m_pList->setWindowFlag(Qt::Tool);
            m_pList->setAttribute(Qt::WA_DeleteOnClose);
            m_pList->Create();
            m_pList->show();
            QApplication::processEvents();
        }
        return *m_pList;
    }
    QTreeWidget& Items() { return *List().List(); }
    std::string Text(int nRow, int nColumn) {
        return Items().topLevelItem(nRow)->text(nColumn).toStdString();
    }
    void Click(int nId) { List().GetDlgItemAs<QAbstractButton>(nId)->click(); }
    void RegisterWorkItem(int nTask) {
        SWorkItem item;
        item.strName = KestrelNames::WorkItemName(nTask);
        std::string strError;
        m_rig.m_scheduler.Submit(item, strError);
    }
    QPoint Corner() const { return m_mainWindow.frameGeometry().topRight() + QPoint(1, 0); }

    CTaskRig m_rig;
    QWidget m_mainWindow;
    QPointer<CTaskListDlg> m_pList;
};

TEST_F(TaskListDlgTest, ListsEveryTaskEarliestFirstWithStationBeginAndDuration) {
    const std::time_t begin = 1'700'000'000;  // 2023-11-14 22:13:20 UTC, long past
    m_rig.StoreTask(begin + 86400, begin + 86400 + 25 * 3600, "8389616", "late");
    const int nFirst = m_rig.StoreTask(begin, begin + 5400 + 7, "-2147473648", "news");

    ASSERT_EQ(Items().topLevelItemCount(), 2);
    EXPECT_EQ(Text(0, 0), "FM 100.00MHz  ");
    EXPECT_EQ(Text(0, 1), "23-11-14 22:13");
    EXPECT_EQ(Text(0, 2), "01:30:07");
    EXPECT_EQ(Text(0, 3), "news");
    EXPECT_EQ(Items().topLevelItem(0)->data(0, Qt::UserRole).toInt(), nFirst);
    // AM 1008 with the mute bit; 25 hours show the hours within one day.
    EXPECT_EQ(Text(1, 0), "AM 1008KHz     ");
    EXPECT_EQ(Text(1, 2), "01:00:00");
}

TEST_F(TaskListDlgTest, DeleteRemovesTheSelectedRowItsItemAndItsWorkItem) {
    const std::time_t begin = m_rig.NextMinute();
    const int nKept = m_rig.StoreTask(begin, begin + 60, "1008");
    const int nGone = m_rig.StoreTask(begin + 600, begin + 660, "1008");
    RegisterWorkItem(nKept);
    RegisterWorkItem(nGone);
    List().FillList();
    Items().topLevelItem(1)->setSelected(true);
    Click(CTaskListDlg::IDC_DELETE);
    EXPECT_EQ(m_rig.TaskCount(), 1);
    ASSERT_EQ(Items().topLevelItemCount(), 1);
    EXPECT_EQ(Items().topLevelItem(0)->data(0, Qt::UserRole).toInt(), nKept);
    EXPECT_FALSE(m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nGone)));
    EXPECT_TRUE(m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nKept)));
}

TEST_F(TaskListDlgTest, NewRunsTheNewTaskDialogAndRefillsAfterAdd) {
    const std::time_t begin = m_rig.NextMinute() + 3600;
    // Fills in the modal dialog once it shows, and presses Add.
    std::function<void()> fillIn = [&] {
        for (QWidget* pWidget : QApplication::topLevelWidgets()) {
            auto* pDialog = qobject_cast<CNewTaskDlg*>(pWidget);
            if (pDialog && pDialog->isVisible()) {
                pDialog->m_BeginDate = pDialog->m_BeginTime = begin;
                pDialog->m_EndDate = pDialog->m_EndTime = begin + 1800;
                pDialog->m_strMemo = "added";
                pDialog->UpdateData(false);
                pDialog->GetDlgItemAs<QAbstractButton>(CDialog::IDOK)->click();
                return;
            }
        }
        QTimer::singleShot(10, fillIn);
    };
    QTimer::singleShot(0, fillIn);
    Click(CTaskListDlg::IDC_NEW);

    ASSERT_EQ(Items().topLevelItemCount(), 1);
    EXPECT_EQ(Text(0, 3), "added");
    EXPECT_EQ(m_rig.m_scheduler.WorkItems().size(), 1u);
}

TEST_F(TaskListDlgTest, OpensAtTheMainWindowsCornerAndSnapsBackWithinSixPixels) {
    EXPECT_EQ(List().frameGeometry().topLeft(), Corner());

    List().move(Corner() + QPoint(6, -6));
    QApplication::processEvents();
    EXPECT_EQ(List().frameGeometry().topLeft(), Corner());

    List().move(Corner() + QPoint(7, 0));
    QApplication::processEvents();
    EXPECT_EQ(List().frameGeometry().topLeft(), Corner() + QPoint(7, 0));
}

// Without a language file every text is empty, the buttons' too; the window
// title is the language file's. Enter closes the window, as Quit does.
TEST_F(TaskListDlgTest, TextsComeFromTheLanguageFileOnlyAndEnterCloses) {
    EXPECT_EQ(List().GetDlgItemText(CTaskListDlg::IDC_NEW), "");
    EXPECT_EQ(List().GetDlgItemText(CDialog::IDCANCEL), "");
    EXPECT_EQ(List().windowTitle(), "");
    delete m_pList.data();

    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=1\nLANGUAGE_1=English\n"
           "[English]\nTA_WINTITLE=Scheduled Recordings\nTA_NEW=New\n";
    EXPECT_EQ(List().windowTitle(), "Scheduled Recordings");
    EXPECT_EQ(List().GetDlgItemText(CTaskListDlg::IDC_TITLE), "Scheduled Recordings");
    EXPECT_EQ(List().GetDlgItemText(CTaskListDlg::IDC_NEW), "New");

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&Items(), &press);
    EXPECT_FALSE(List().IsWindow());
}

// A disabled task keeps its row and loses its job; enabled again, a
// repeating one whose time has passed is registered for its next recording.
TEST_F(TaskListDlgTest, DisableAndEnableTakeTheJobAwayAndGiveItBack) {
    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=1\nLANGUAGE_1=English\n[English]\nNA_REPEAT_DAILY=Daily\n"
           "TA_DISABLED=off\nTA_ENABLE=Enable\nTA_DISABLE=Disable\n";
    CNewTask::SEntry entry;
    entry.begin = m_rig.NextMinute() + 600;
    entry.end = entry.begin + 1800;
    entry.nBand = CNewTask::BAND_FM;
    entry.strFrequency = "87.50";
    entry.rule.eRepeat = STaskRule::ERepeat::Daily;
    CNewTask task(m_rig.Core().TaskSet(), List().m_bridge, m_rig.Core().NewTaskContext());
    ASSERT_EQ(task.Add(entry), CNewTask::EResult::Stored);
    const int nTask = task.StoredTask();
    const std::string strName = KestrelNames::WorkItemName(nTask);
    List().FillList();
    ASSERT_EQ(Items().topLevelItemCount(), 1);
    EXPECT_EQ(Text(0, CTaskListDlg::kRepeatColumn), "Daily");
    EXPECT_FALSE(List().GetDlgItem(CTaskListDlg::IDC_ENABLE)->isEnabled());  // nothing selected

    Items().setCurrentItem(Items().topLevelItem(0));
    EXPECT_TRUE(List().GetDlgItem(CTaskListDlg::IDC_ENABLE)->isEnabled());
    Click(CTaskListDlg::IDC_ENABLE);
    EXPECT_FALSE(m_rig.m_scheduler.WorkItem(strName));
    EXPECT_EQ(Text(0, CTaskListDlg::kRepeatColumn), "Daily (off)");
    EXPECT_EQ(List().GetDlgItemText(CTaskListDlg::IDC_ENABLE), "Enable");

    m_rig.m_clock.Advance(std::chrono::hours(3));  // today's has passed meanwhile
    Click(CTaskListDlg::IDC_ENABLE);
    const auto job = m_rig.m_scheduler.WorkItem(strName);
    ASSERT_TRUE(job);
    EXPECT_EQ(job->begin, entry.begin + 24 * 3600);
    EXPECT_EQ(Text(0, CTaskListDlg::kRepeatColumn), "Daily");
}

// Rows another program wrote may collide; the list shows with which.
TEST_F(TaskListDlgTest, TasksThatWouldRecordAtOnceNameEachOther) {
    const std::time_t begin = m_rig.NextMinute() + 3600;
    m_rig.StoreTask(begin, begin + 3600, "1008", "news");
    m_rig.StoreTask(begin + 1800, begin + 5400, "-2147473648", "jazz");
    m_rig.StoreTask(begin + 7200, begin + 9000, "1008", "alone");
    ASSERT_EQ(Items().topLevelItemCount(), 3);
    constexpr int kConflictColumn = 6;
    EXPECT_EQ(Text(0, kConflictColumn), "FM 100.00MHz " + Text(1, 1));
    EXPECT_EQ(Text(1, kConflictColumn), "AM 1008KHz " + Text(0, 1));
    EXPECT_EQ(Text(2, kConflictColumn), "");
    EXPECT_FALSE(Items().topLevelItem(0)->toolTip(kConflictColumn).isEmpty());
}

}  // namespace
