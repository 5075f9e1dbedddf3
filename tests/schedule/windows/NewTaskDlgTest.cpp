#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/names/KestrelNames.h"
#include "presets/PresetStore.h"
#include "schedule/DataSourceId.h"
#include "schedule/NewTask.h"
#include "schedule/TaskRules.h"
#include "schedule/windows/NewTaskDlg.h"
#include "skin/CommandMap.h"
#include "tests/schedule/windows/TaskRig.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kBeforeTime = "Can't record before time";
constexpr const char* kEndFirst = "End time must at begin time after";
constexpr const char* kConflict = "Record time conflict!";
constexpr const char* kFreqOut = "Freq out";

class NewTaskDlgTest : public ::testing::Test {
protected:
    CNewTaskDlg& Dialog() {
        if (!m_pDialog) {
            m_pDialog = std::make_unique<CNewTaskDlg>(&m_rig.Core(), nullptr);
            m_pDialog->Create();
        }
        return *m_pDialog;
    }
    // Types a task into the dialog as the user would and presses Add; true
    // when the dialog ended with Add.
    bool Add(std::time_t begin, std::time_t end, int nBand, const std::string& strFrequency,
             bool bMute = false, const std::string& strMemo = {}) {
        if (m_pDialog && !m_pDialog->IsWindow()) {
            m_pDialog.reset();  // ended by the last Add: open a fresh one
        }
        CNewTaskDlg& dialog = Dialog();
        dialog.UpdateData(true);
        dialog.m_BeginDate = dialog.m_BeginTime = begin;
        dialog.m_EndDate = dialog.m_EndTime = end;
        dialog.m_nBand = nBand;
        dialog.m_strFrequency = strFrequency;
        dialog.m_nMute = bMute ? 1 : 0;
        dialog.m_strMemo = strMemo;
        dialog.UpdateData(false);
        dialog.GetDlgItemAs<QAbstractButton>(CDialog::IDOK)->click();
        return !dialog.IsWindow() && dialog.result() == CDialog::IDOK;
    }
    // The scheduler's messages, by their keys.
    void WriteMessages() {
        std::ofstream(m_rig.m_dir.File("Language.ini"))
            << "[Language]\nTOTAL=1\nLANGUAGE_1=English\n[English]\n"
               "MESSAGE_21=Not registered.\nMESSAGE_25=No daemon.\nMESSAGE_26=Denied.\n"
               "MESSAGE_27=Kept without its job.\n";
    }
    void SetStandard(int nStandard) {
        m_rig.m_profile.WriteProfileInt("SET", "BAND", nStandard);
        m_rig.Core().ApplyBandPlan();
    }

    CTaskRig m_rig;
    std::unique_ptr<CNewTaskDlg> m_pDialog;
};

TEST_F(NewTaskDlgTest, AddStoresTheRowAndItsWorkItemUnderTheInsertedIdentifier) {
    const std::time_t begin = m_rig.NextMinute() + 7200;
    // A later task: the last row by begin is not the new one.
    const int nLater = m_rig.StoreTask(begin + 86400, begin + 90000, "1008");
    SetStandard(0);  // Europe: 100 MHz is in the band

    ASSERT_TRUE(Add(begin + 25, begin + 3600 + 40, CNewTaskDlg::BAND_FM, "100.00", true));

    const int nId = Dialog().StoredTask();
    EXPECT_NE(nId, nLater);
    CTaskSet& tasks = m_rig.Core().TaskSet();
    std::time_t end = 0;
    ASSERT_TRUE(tasks.GetEndTime(nId, end));
    EXPECT_EQ(end, begin + 3600);  // whole minutes
    EXPECT_EQ(tasks.m_BeginTime, begin);
    EXPECT_EQ(tasks.m_Channel, "-2139085040");
    EXPECT_THAT(m_rig.Messages(), IsEmpty());

    const std::vector<SWorkItem> items = m_rig.m_scheduler.WorkItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].strName, "KestrelRadio_Record_" + std::to_string(nId));
    const std::string strSource = CDataSourceId::Obtain(m_rig.m_dataSource.Driver());
    EXPECT_EQ(items[0].strOwner, strSource);
    EXPECT_THAT(items[0].arguments,
                ElementsAre(CDataSourceId::Switch(strSource), std::to_string(nId)));
    EXPECT_EQ(items[0].begin, begin);
    // The folder the program was started in, as the core fixed it.
    EXPECT_EQ(items[0].strWorkingDirectory, m_rig.m_dir.Path().string());
}

TEST_F(NewTaskDlgTest, TimesAreCheckedInOrderAndARefusalKeepsTheDialogOpen) {
    const std::time_t now = m_rig.m_clock.Now();
    const std::time_t next = m_rig.NextMinute();
    EXPECT_FALSE(Add(now, now + 3600, CNewTaskDlg::BAND_FM, "87.50"));  // this minute
    EXPECT_FALSE(Add(next + 3600, next + 60, CNewTaskDlg::BAND_FM, "87.50"));
    EXPECT_FALSE(Add(next + 3600, now - 60, CNewTaskDlg::BAND_FM, "87.50"));  // end past
    EXPECT_FALSE(Add(next + 600, next + 600, CNewTaskDlg::BAND_FM, "87.50"));
    EXPECT_THAT(m_rig.Messages(), ElementsAre(kBeforeTime, kEndFirst, kBeforeTime, kEndFirst));
    EXPECT_EQ(m_rig.TaskCount(), 0);

    m_rig.StoreTask(next + 7200, next + 10800, "1008");
    EXPECT_FALSE(Add(next + 10800, next + 14400, CNewTaskDlg::BAND_FM, "87.50"));
    // The message names the task in the way.
    EXPECT_EQ(m_rig.Messages().back(), std::string(kConflict) + "\n#1 2007-05-01 16:04 AM 1008KHz");
    EXPECT_TRUE(Add(next, next + 60, CNewTaskDlg::BAND_FM, "87.50"));
    EXPECT_EQ(m_rig.TaskCount(), 2);
}

// The window opens on a task it would accept: the next whole hour, for an hour.
TEST_F(NewTaskDlgTest, ItOpensOnTheNextWholeHourForAnHour) {
    CNewTaskDlg& dialog = Dialog();
    const std::time_t now = m_rig.m_clock.Now();
    const std::time_t begin = CNewTaskDlg::CombineDateTime(dialog.m_BeginDate, dialog.m_BeginTime);
    const std::time_t end = CNewTaskDlg::CombineDateTime(dialog.m_EndDate, dialog.m_EndTime);
    EXPECT_GT(begin, now);
    EXPECT_LE(begin, now + 3600);
    EXPECT_EQ(begin % 3600, 0);  // the rig's local time is UTC
    EXPECT_EQ(end, begin + 3600);
    dialog.GetDlgItemAs<QAbstractButton>(CDialog::IDOK)->click();
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_EQ(m_rig.TaskCount(), 1);
}

// The memo is one line of text that fits its column; anything else is
// refused with a message and nothing is stored.
TEST_F(NewTaskDlgTest, AMemoTooLongOrWithControlCharactersIsRefused) {
    const std::time_t next = m_rig.NextMinute();
    for (const std::string& strMemo : {std::string(256, 'm'), std::string("two\nlines"),
                                       std::string("tab\there"), std::string("\xC2\x85")}) {
        EXPECT_FALSE(CNewTask::IsValidMemo(strMemo)) << strMemo;
    }
    EXPECT_TRUE(CNewTask::IsValidMemo(std::string(255, 'm')));
    EXPECT_TRUE(CNewTask::IsValidMemo("\xE6\x97\xA5\xE6\x9C\xAC"));
    EXPECT_FALSE(CNewTask::IsValidMemo("\xFF\xFE"));

    EXPECT_FALSE(Add(next, next + 60, CNewTaskDlg::BAND_FM, "87.50", false, std::string(300, 'x')));
    EXPECT_EQ(m_rig.Messages().back(),
              "The memo can hold up to 255 characters of text, with no line breaks or other "
              "control characters.");
    EXPECT_EQ(m_rig.TaskCount(), 0);
    EXPECT_TRUE(Add(next, next + 60, CNewTaskDlg::BAND_FM, "87.50", false, std::string(255, 'x')));
    EXPECT_EQ(m_rig.TaskCount(), 1);
}

TEST_F(NewTaskDlgTest, FrequencyMustLieInTheBandPlanOfTheStandard) {
    struct SCase {
        int nBand;
        const char* pText;
        bool bAccepted[3];  // Europe, Japan, USA
    };
    const SCase cases[] = {
        {CNewTaskDlg::BAND_FM, "87.5", {true, true, true}},
        {CNewTaskDlg::BAND_FM, "108.1", {false, false, false}},
        {CNewTaskDlg::BAND_FM, "76", {false, true, false}},
        {CNewTaskDlg::BAND_AM, "1710", {false, false, true}},
    };
    std::time_t begin = m_rig.NextMinute();
    for (int nStandard = 0; nStandard < 3; ++nStandard) {
        SetStandard(nStandard);
        for (const SCase& c : cases) {
            m_rig.m_boxes.Clear();
            begin += 3600;
            const bool bAdded = Add(begin, begin + 60, c.nBand, c.pText);
            EXPECT_EQ(bAdded, c.bAccepted[nStandard]) << c.pText << " standard " << nStandard;
            if (!bAdded) {
                EXPECT_THAT(m_rig.Messages(), ElementsAre(kFreqOut));
            }
        }
    }
}

// Run modally, as the task list runs it: a refusal goes to the message boxes
// the core was given (no modal box of its own), the modal run goes on with
// the entries kept, and Cancel then stores nothing.
TEST_F(NewTaskDlgTest, ARefusalDuringTheModalRunKeepsTheDialogOpenUntilCancel) {
    const std::time_t begin = m_rig.NextMinute() + 3600;
    CNewTaskDlg dialog(&m_rig.Core(), nullptr);
    std::vector<std::string> shownWhileOpen;
    bool bOpenAfterRefusal = false;
    std::string strKept;
    std::function<void()> act = [&] {
        if (!dialog.isVisible()) {
            QTimer::singleShot(10, act);
            return;
        }
        dialog.UpdateData(true);
        dialog.m_BeginDate = dialog.m_BeginTime = begin;
        dialog.m_EndDate = dialog.m_EndTime = begin + 1800;
        dialog.m_nBand = CNewTaskDlg::BAND_FM;
        dialog.m_strFrequency = "108.1";
        dialog.UpdateData(false);
        dialog.GetDlgItemAs<QAbstractButton>(CDialog::IDOK)->click();
        shownWhileOpen = m_rig.Messages();
        bOpenAfterRefusal = dialog.isVisible();
        strKept = dialog.GetDlgItemText(CNewTaskDlg::IDC_FREQUENCY);
        dialog.GetDlgItemAs<QAbstractButton>(CDialog::IDCANCEL)->click();
    };
    QTimer::singleShot(0, act);

    EXPECT_EQ(dialog.DoModal(), CDialog::IDCANCEL);
    EXPECT_THAT(shownWhileOpen, ElementsAre(kFreqOut));
    EXPECT_TRUE(bOpenAfterRefusal);
    EXPECT_EQ(strKept, "108.1");
    EXPECT_EQ(m_rig.m_boxes.Shown().at(0).caption, "Kestrel Radio");
    EXPECT_EQ(m_rig.m_boxes.Shown().at(0).icon, CMessageBoxes::EIcon::Error);
    EXPECT_EQ(m_rig.TaskCount(), 0);
    EXPECT_TRUE(m_rig.m_scheduler.WorkItems().empty());
}

TEST_F(NewTaskDlgTest, ChannelListOffersThePresetsAndPickingOneSetsBandAndFrequency) {
    CPresetStore presets(m_rig.m_profile);
    presets.WriteSlot(CPresetStore::BAND_AM, 3, 1008, "Talk");
    presets.WriteSlot(CPresetStore::BAND_FM, 0, CPresetStore::kFmBit | 8000, "Jazz");
    presets.WriteSlot(CPresetStore::BAND_FM, 1, 0, "Gone");
    m_rig.m_profile.WriteProfileInt("SETTING", "FM_FREQ", 8000);
    m_rig.Core().SelectBand(CTuner::BAND_FM);

    auto* pCombo = Dialog().GetDlgItemAs<QComboBox>(CNewTaskDlg::IDC_CHANNEL);
    ASSERT_EQ(pCombo->count(), 3);
    EXPECT_EQ(pCombo->itemText(1).toStdString(), "AM 1008KHz     Talk");
    EXPECT_EQ(pCombo->itemText(2).toStdString(), "FM 80.00MHz  Jazz");
    EXPECT_EQ(pCombo->currentIndex(), 2);
    EXPECT_EQ(Dialog().GetDlgItemText(CNewTaskDlg::IDC_FREQUENCY), "80.00");

    pCombo->setCurrentIndex(1);
    Dialog().Commands().Dispatch(CNewTaskDlg::IDC_CHANNEL, CCommandMap::SelChange);
    EXPECT_EQ(Dialog().m_nBand, CNewTaskDlg::BAND_AM);
    EXPECT_EQ(Dialog().GetDlgItemText(CNewTaskDlg::IDC_FREQUENCY), "1008");

    pCombo->setCurrentIndex(0);
    Dialog().Commands().Dispatch(CNewTaskDlg::IDC_CHANNEL, CCommandMap::SelChange);
    EXPECT_EQ(Dialog().GetDlgItemText(CNewTaskDlg::IDC_FREQUENCY), "0");
    const std::time_t begin = m_rig.NextMinute();
    EXPECT_FALSE(Add(begin, begin + 60, Dialog().m_nBand, Dialog().m_strFrequency));
    EXPECT_THAT(m_rig.Messages(), ElementsAre(kFreqOut));
}

// A task stored as if it will run, with no work item, would never record.
TEST_F(NewTaskDlgTest, AFailedRegistrationTakesTheRowAwayAgainAndSaysSo) {
    WriteMessages();
    const std::time_t begin = m_rig.NextMinute() + 600;
    m_rig.m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Submit, EIO);
    EXPECT_FALSE(Add(begin, begin + 600, CNewTaskDlg::BAND_AM, "1008"));
    EXPECT_EQ(m_rig.TaskCount(), 0);
    EXPECT_EQ(Dialog().StoredTask(), 0);
    EXPECT_THAT(m_rig.Messages(), ElementsAre("Not registered."));
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].icon, CMessageBoxes::EIcon::Error);

    // The dialog stays open with its entries: Add again once the scheduler works.
    m_rig.m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Submit, 0);
    Dialog().GetDlgItemAs<QAbstractButton>(CDialog::IDOK)->click();
    EXPECT_EQ(Dialog().result(), CDialog::IDOK);
    EXPECT_EQ(m_rig.TaskCount(), 1);
    EXPECT_EQ(m_rig.m_scheduler.WorkItems().size(), 1u);
}

// Only a row that cannot be deleted stays, and the user is told to delete it.
TEST_F(NewTaskDlgTest, ARowThatCannotBeDeletedAfterAFailedRegistrationIsToldAndListed) {
    WriteMessages();
    m_rig.Core();
    m_rig.m_dataSource.Execute(
        "CREATE TRIGGER KeepTasks BEFORE DELETE ON Task BEGIN SELECT RAISE(ABORT, 'kept'); END");
    m_rig.m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Submit, EIO);
    const std::time_t begin = m_rig.NextMinute() + 600;
    EXPECT_TRUE(Add(begin, begin + 600, CNewTaskDlg::BAND_AM, "1008"));
    EXPECT_EQ(m_rig.TaskCount(), 1);
    EXPECT_THAT(m_rig.Messages(), ElementsAre("Kept without its job."));
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].icon, CMessageBoxes::EIcon::Warning);
}

TEST_F(NewTaskDlgTest, ASchedulerThatCannotWorkIsToldBeforeAnythingIsStored) {
    WriteMessages();
    const std::time_t begin = m_rig.NextMinute() + 600;
    m_rig.m_scheduler.SetRunning(false);
    m_rig.m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Start, EPERM);
    EXPECT_FALSE(Add(begin, begin + 600, CNewTaskDlg::BAND_AM, "1008"));
    m_rig.m_scheduler.SetDenied(true);
    EXPECT_FALSE(Add(begin, begin + 600, CNewTaskDlg::BAND_AM, "1008"));
    EXPECT_THAT(m_rig.Messages(), ElementsAre("No daemon.", "Denied."));
    EXPECT_EQ(m_rig.TaskCount(), 0);
    EXPECT_TRUE(m_rig.m_scheduler.WorkItems().empty());

    // The checks of the entries come first, in their own order.
    EXPECT_FALSE(Add(begin, begin, CNewTaskDlg::BAND_AM, "1008"));
    EXPECT_EQ(m_rig.Messages().back(), kEndFirst);

    m_rig.m_scheduler.SetDenied(false);
    m_rig.m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Start, 0);
    EXPECT_TRUE(Add(begin, begin + 600, CNewTaskDlg::BAND_AM, "1008"));
    EXPECT_TRUE(m_rig.m_scheduler.IsRunning());
}

// A re-created database hands out task 1 again; the old database's job for
// its own task 1 is not this one's.
TEST_F(NewTaskDlgTest, AnotherDataSourcesWorkItemOfTheSameNameIsLeftAlone) {
    const std::time_t begin = m_rig.NextMinute() + 600;
    SWorkItem old;
    old.strName = KestrelNames::WorkItemName(1);
    old.strOwner = CDataSourceId::NewId();
    std::string strError;
    ASSERT_EQ(m_rig.m_scheduler.Submit(old, strError), 0);

    ASSERT_TRUE(Add(begin, begin + 600, CNewTaskDlg::BAND_AM, "1008"));
    ASSERT_EQ(Dialog().StoredTask(), 1);
    EXPECT_EQ(m_rig.m_scheduler.WorkItems().size(), 2u);
    EXPECT_TRUE(Dialog().m_bridge.DeleteWorkItem(KestrelNames::WorkItemName(1)));
    ASSERT_EQ(m_rig.m_scheduler.WorkItems().size(), 1u);
    EXPECT_EQ(m_rig.m_scheduler.WorkItems()[0].strOwner, old.strOwner);
}

// The twelve Japanese channels that 100 times their decimal reading misses
// (76.1 reads 76.099999...), and the window's own text for the station tuned.
TEST_F(NewTaskDlgTest, FmTextsAreStoredAsTheNearestChannel) {
    SetStandard(1);  // Japan, 76.0-90.0 MHz
    m_rig.Core().SelectBand(CTuner::BAND_FM);
    m_rig.Core().TuneTo(8010);
    EXPECT_EQ(Dialog().GetDlgItemText(CNewTaskDlg::IDC_FREQUENCY), "80.10");
    const auto storedChannel = [this] {
        std::time_t end = 0;
        CTaskSet& tasks = m_rig.Core().TaskSet();
        return tasks.GetEndTime(Dialog().StoredTask(), end) ? tasks.m_Channel : std::string();
    };
    std::time_t begin = m_rig.NextMinute() + 600;
    ASSERT_TRUE(Add(begin, begin + 60, CNewTaskDlg::BAND_FM, Dialog().m_strFrequency));
    EXPECT_EQ(storedChannel(), CTaskSet::ChannelText(CChannelWord::kFmBit | 8010));

    const std::pair<const char*, unsigned> texts[] = {
        {"76.1", 7610}, {"76.6", 7660},  {"77.1", 7710},    {"77.6", 7760},   {"78.1", 7810},
        {"78.6", 7860}, {"79.1", 7910},  {"79.6", 7960},    {"80.1", 8010},   {"80.6", 8060},
        {"81.1", 8110}, {"81.60", 8160}, {" 80.099", 8010}, {"89.996", 9000},
    };
    for (const auto& [pText, f] : texts) {
        begin += 120;
        ASSERT_TRUE(Add(begin, begin + 60, CNewTaskDlg::BAND_FM, pText)) << pText;
        EXPECT_EQ(storedChannel(), CTaskSet::ChannelText(CChannelWord::kFmBit | f)) << pText;
    }
    EXPECT_THAT(m_rig.Messages(), IsEmpty());
}

// Without a language file every text is empty, the buttons' too; the window
// title is the language file's.
TEST_F(NewTaskDlgTest, TextsAndTitleComeFromTheLanguageFileOnly) {
    EXPECT_EQ(Dialog().GetDlgItemText(CDialog::IDOK), "");
    EXPECT_EQ(Dialog().GetDlgItemText(1052), "");
    EXPECT_EQ(Dialog().windowTitle(), "");

    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nTOTAL=1\nLANGUAGE_1=English\n[English]\nNA_WINTITLE=New Recording\n"
           "ALL_OK=Add\n";
    m_pDialog.reset();
    EXPECT_EQ(Dialog().windowTitle(), "New Recording");
    EXPECT_EQ(Dialog().GetDlgItemText(CDialog::IDOK), "Add");
    EXPECT_EQ(Dialog().GetDlgItemText(CDialog::IDCANCEL), "");
}

// Add is the dialog's default button: Enter in the frequency box adds.
TEST_F(NewTaskDlgTest, EnterAdds) {
    const std::time_t begin = m_rig.NextMinute() + 600;
    CNewTaskDlg& dialog = Dialog();
    dialog.show();
    dialog.m_BeginDate = dialog.m_BeginTime = begin;
    dialog.m_EndDate = dialog.m_EndTime = begin + 600;
    dialog.m_nBand = CNewTaskDlg::BAND_AM;
    dialog.m_strFrequency = "1008";
    dialog.UpdateData(false);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog.GetDlgItem(CNewTaskDlg::IDC_FREQUENCY), &press);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_EQ(dialog.result(), CDialog::IDOK);
    EXPECT_EQ(m_rig.TaskCount(), 1);
}

// The window's repeat entries make the same rule the command line's
// --repeat mon,wed --pad-before 2 --pad-after 5 --times 4 does.
TEST_F(NewTaskDlgTest, TheRepeatEntriesStoreTheRuleAndTheFirstPaddedOccurrence) {
    const std::time_t begin = m_rig.NextMinute() + 3600;  // a Tuesday, 2007-05-01
    CNewTaskDlg& dialog = Dialog();
    dialog.UpdateData(true);
    dialog.m_nRepeat = CNewTaskDlg::REPEAT_DAYS;
    dialog.m_days[0] = 1;  // Monday
    dialog.m_days[2] = 1;  // Wednesday
    dialog.m_strTimes = "4";
    dialog.m_strPadBefore = "2";
    dialog.m_strPadAfter = "5";
    dialog.UpdateData(false);
    ASSERT_TRUE(Add(begin, begin + 1800, CNewTaskDlg::BAND_FM, "87.50"))
        << testing::PrintToString(m_rig.Messages());

    const int nTask = dialog.StoredTask();
    const std::optional<STaskRule> rule = CTaskRules(m_rig.m_dataSource.Driver()).Find(nTask);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->RepeatText(), "mon,wed");
    EXPECT_EQ(rule->nTimes, 4);
    EXPECT_EQ(rule->nPadBefore, 2);
    EXPECT_EQ(rule->nPadAfter, 5);
    const std::time_t wednesday = begin + 24 * 3600;
    const auto job = m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nTask));
    ASSERT_TRUE(job);
    EXPECT_EQ(job->begin, wednesday - 120);

    // Numbers that are none are refused, and the window stays.
    m_pDialog.reset();
    CNewTaskDlg& again = Dialog();
    again.UpdateData(true);
    again.m_strPadAfter = "soon";
    again.UpdateData(false);
    EXPECT_FALSE(Add(begin + 7200, begin + 9000, CNewTaskDlg::BAND_FM, "87.50"));
    EXPECT_TRUE(again.IsWindow());
}

TEST_F(NewTaskDlgTest, EditingReplacesTheTaskAndItsJobAndDuplicatingAddsACopy) {
    const std::time_t begin = m_rig.NextMinute() + 3600;
    ASSERT_TRUE(Add(begin, begin + 1800, CNewTaskDlg::BAND_FM, "87.50", false, "news"));
    const int nOld = Dialog().StoredTask();

    m_pDialog = std::make_unique<CNewTaskDlg>(&m_rig.Core(), nullptr);
    m_pDialog->EditTask(nOld);
    m_pDialog->Create();
    EXPECT_EQ(m_pDialog->m_strMemo, "news");
    EXPECT_EQ(m_pDialog->m_BeginTime, begin);
    // The same hour, a day later, daily: its own old time does not conflict.
    ASSERT_TRUE(Add(begin, begin + 1800, CNewTaskDlg::BAND_FM, "87.50", false, "news"))
        << testing::PrintToString(m_rig.Messages());
    const int nNew = m_pDialog->StoredTask();
    EXPECT_NE(nNew, nOld);
    EXPECT_EQ(m_rig.TaskCount(), 1);
    EXPECT_FALSE(m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nOld)));
    EXPECT_TRUE(m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nNew)));

    m_pDialog = std::make_unique<CNewTaskDlg>(&m_rig.Core(), nullptr);
    m_pDialog->CopyTask(nNew);
    m_pDialog->Create();
    EXPECT_EQ(m_pDialog->m_strMemo, "news");
    // A copy at the same time collides with the original, which stays.
    EXPECT_FALSE(Add(begin, begin + 1800, CNewTaskDlg::BAND_FM, "87.50", false, "news"));
    EXPECT_EQ(m_rig.TaskCount(), 1);
    EXPECT_TRUE(Add(begin + 3600, begin + 5400, CNewTaskDlg::BAND_FM, "87.50", false, "news"));
    EXPECT_EQ(m_rig.TaskCount(), 2);
}

}  // namespace
