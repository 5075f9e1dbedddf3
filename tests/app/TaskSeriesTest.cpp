#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Recorder.h"
#include "platform/names/KestrelNames.h"
#include "schedule/NewTask.h"
#include "schedule/ScheduleBridge.h"
#include "schedule/TaskOutcomes.h"
#include "schedule/TaskRecordings.h"
#include "schedule/TaskRules.h"
#include "tests/app/CoreRig.h"

namespace {

using namespace std::chrono_literals;

constexpr std::time_t kDay = 24 * 3600;

class CQuietObserver : public CRecorder::CObserver {
public:
    void RecordingStarted() override {}
    void RecordingStopped() override {}
    void MuteOutput() override {}
    void TaskEnded(const STaskOutcome&) override {}
};

// Repeating tasks on the simulated scheduler, a real data source and a
// virtual clock (UTC): each occurrence's work item starts the recorder.
class TaskSeriesTest : public ::testing::Test {
protected:
    TaskSeriesTest() : m_recorder(m_rig.Core(), m_observer) {}
    ~TaskSeriesTest() override { m_recorder.Stop(); }

    // A programme ten minutes on for nMinutes, repeating.
    CNewTask::SEntry Entry(STaskRule::ERepeat eRepeat, int nMinutes = 30) {
        const std::time_t now = m_rig.m_clock.Now();
        CNewTask::SEntry entry;
        entry.begin = now - now % 60 + 600;
        entry.end = entry.begin + 60 * nMinutes;
        entry.nBand = CNewTask::BAND_FM;
        entry.strFrequency = "80.00";
        entry.strMemo = "news";
        entry.rule.eRepeat = eRepeat;
        return entry;
    }
    CNewTask::EResult Add(const CNewTask::SEntry& entry, std::string* pWhy = nullptr) {
        CScheduleBridge bridge(m_rig.m_scheduler);
        CNewTask task(m_rig.Core().TaskSet(), bridge, m_rig.Core().NewTaskContext());
        const CNewTask::EResult eResult = task.Add(entry);
        m_nTask = task.StoredTask();
        if (pWhy) {
            *pWhy = task.ErrorKey();
        }
        return eResult;
    }
    // The Task row's begin and end: the occurrence it stands for.
    std::pair<std::time_t, std::time_t> Row(int nTask) {
        CTaskSet& tasks = m_rig.Core().TaskSet();
        std::time_t end = 0;
        EXPECT_TRUE(tasks.GetEndTime(nTask, end));
        return {tasks.m_BeginTime, end};
    }
    std::optional<std::time_t> WorkItemAt(int nTask) {
        const auto item = m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nTask));
        return item ? std::optional<std::time_t>(item->begin) : std::nullopt;
    }
    void AdvanceTo(std::time_t t) {
        m_rig.m_clock.Advance(std::chrono::seconds(t - m_rig.m_clock.Now()));
    }
    STaskOutcome::EKind Outcome(int nTask) {
        return CTaskOutcomes(m_rig.m_dataSource.Driver())
            .Find(nTask)
            .value_or(STaskOutcome{})
            .eKind;
    }

    CCoreRig m_rig;
    CQuietObserver m_observer;
    CRecorder m_recorder;
    int m_nTask = 0;
};

TEST_F(TaskSeriesTest, EachOccurrenceRegistersTheNextAndPaddingMovesTheJobAndTheEnd) {
    CNewTask::SEntry entry = Entry(STaskRule::ERepeat::Daily);
    entry.rule.nPadBefore = 2;
    entry.rule.nPadAfter = 5;
    ASSERT_EQ(Add(entry), CNewTask::EResult::Stored);
    const int nTask = m_nTask;
    EXPECT_EQ(Row(nTask), std::make_pair(entry.begin - 120, entry.end + 300));
    EXPECT_EQ(WorkItemAt(nTask), entry.begin - 120);

    for (int nDay = 0; nDay < 3; ++nDay) {
        SCOPED_TRACE(nDay);
        AdvanceTo(entry.begin - 120 + nDay * kDay);
        m_recorder.StartTask(nTask);
        ASSERT_TRUE(m_recorder.IsRecording());
        // Before the recording ends, tomorrow's is in place.
        const std::time_t tomorrow = entry.begin + (nDay + 1) * kDay;
        EXPECT_EQ(Row(nTask), std::make_pair(tomorrow - 120, tomorrow + 1800 + 300));
        EXPECT_EQ(WorkItemAt(nTask), tomorrow - 120);

        AdvanceTo(entry.end + 300 + nDay * kDay);
        m_recorder.Tick();
        EXPECT_FALSE(m_recorder.IsRecording());
        EXPECT_EQ(Outcome(nTask), STaskOutcome::EKind::Recorded);
        EXPECT_EQ(WorkItemAt(nTask), tomorrow - 120) << "the end leaves the next one alone";
    }
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 3);
    // Every occurrence's outcome is kept, the latest first.
    const std::vector<STaskOutcome> history =
        CTaskOutcomes(m_rig.m_dataSource.Driver()).History(nTask, 10);
    ASSERT_EQ(history.size(), 3u);
    EXPECT_GT(history[0].ended, history[2].ended);
}

TEST_F(TaskSeriesTest, AMissedOccurrenceNeverBlocksTheNextAndASeriesEndsWithItsLastOne) {
    CNewTask::SEntry entry = Entry(STaskRule::ERepeat::Daily);
    entry.rule.nTimes = 3;
    ASSERT_EQ(Add(entry), CNewTask::EResult::Stored);
    const int nTask = m_nTask;

    // The machine was off for the first two days: atd runs the job late.
    AdvanceTo(entry.begin + kDay + 3600);
    m_recorder.StartTask(nTask);
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_EQ(Outcome(nTask), STaskOutcome::EKind::Missed);
    EXPECT_EQ(Row(nTask).first, entry.begin + 2 * kDay);
    EXPECT_EQ(WorkItemAt(nTask), entry.begin + 2 * kDay);

    AdvanceTo(entry.begin + 2 * kDay);
    m_recorder.StartTask(nTask);  // the third and last
    ASSERT_TRUE(m_recorder.IsRecording());
    EXPECT_EQ(WorkItemAt(nTask), std::nullopt);
    AdvanceTo(entry.end + 2 * kDay);
    m_recorder.Tick();
    EXPECT_EQ(Outcome(nTask), STaskOutcome::EKind::Recorded);
}

TEST_F(TaskSeriesTest, ADisabledTaskIsStoredAndRegistersNothing) {
    CNewTask::SEntry entry = Entry(STaskRule::ERepeat::Weekly);
    entry.rule.bEnabled = false;
    ASSERT_EQ(Add(entry), CNewTask::EResult::Stored);
    EXPECT_EQ(WorkItemAt(m_nTask), std::nullopt);
    const std::optional<STaskRule> rule = CTaskRules(m_rig.m_dataSource.Driver()).Find(m_nTask);
    ASSERT_TRUE(rule);
    EXPECT_FALSE(rule->bEnabled);
    EXPECT_EQ(rule->eRepeat, STaskRule::ERepeat::Weekly);
}

// Every occurrence within the next 60 days is checked, not only the next.
TEST_F(TaskSeriesTest, AConflictWithALaterOccurrenceIsRefused) {
    const CNewTask::SEntry weekly = Entry(STaskRule::ERepeat::Weekly, 60);
    ASSERT_EQ(Add(weekly), CNewTask::EResult::Stored);

    CNewTask::SEntry once = Entry(STaskRule::ERepeat::Once, 30);
    once.begin += 3 * 7 * kDay + 1800;  // in the fourth week's hour
    once.end += 3 * 7 * kDay + 1800;
    std::string strKey;
    EXPECT_EQ(Add(once, &strKey), CNewTask::EResult::Refused);
    EXPECT_EQ(strKey, "MESSAGE_10");

    CNewTask::SEntry daily = Entry(STaskRule::ERepeat::Daily, 30);
    daily.begin += kDay + 7200;  // a daily one two hours later is free
    daily.end += kDay + 7200;
    EXPECT_EQ(Add(daily, &strKey), CNewTask::EResult::Stored) << strKey;

    CNewTask::SEntry clash = Entry(STaskRule::ERepeat::Once, 30);
    clash.begin += 40 * kDay + 7200 + 600;  // one of the daily one's, far ahead
    clash.end += 40 * kDay + 7200 + 600;
    EXPECT_EQ(Add(clash, &strKey), CNewTask::EResult::Refused);

    STaskRule::ERepeat eNone = STaskRule::ERepeat::Weekdays;
    CNewTask::SEntry nothing = Entry(eNone);
    nothing.rule.nWeekdays = 0;
    EXPECT_EQ(Add(nothing, &strKey), CNewTask::EResult::Refused);
    EXPECT_EQ(strKey, CNewTask::kNoOccurrenceKey);
}

TEST_F(TaskSeriesTest, RetentionRemovesExactlyWhatTheRuleSaysRowAndFileTogether) {
    CNewTask::SEntry entry = Entry(STaskRule::ERepeat::Daily);
    entry.rule.nKeepLast = 2;
    ASSERT_EQ(Add(entry), CNewTask::EResult::Stored);
    const int nTask = m_nTask;
    std::vector<std::string> files;
    for (int nDay = 0; nDay < 4; ++nDay) {
        AdvanceTo(entry.begin + nDay * kDay);
        m_recorder.StartTask(nTask);
        ASSERT_TRUE(m_recorder.IsRecording());
        files.push_back(m_rig.Core().RecordFile());
        AdvanceTo(entry.end + nDay * kDay);
        m_recorder.Tick();
        ASSERT_FALSE(m_recorder.IsRecording());
    }
    const SDbResult rows = m_rig.m_dataSource.Query("SELECT FileName FROM FileList ORDER BY ID");
    ASSERT_EQ(rows.m_rows.size(), 2u);
    EXPECT_EQ(std::get<std::string>(rows.m_rows[0][0]), files[2]);
    EXPECT_EQ(std::get<std::string>(rows.m_rows[1][0]), files[3]);
    EXPECT_FALSE(std::filesystem::exists(files[0]));
    EXPECT_FALSE(std::filesystem::exists(files[1]));
    EXPECT_TRUE(std::filesystem::exists(files[2]));
    const STaskOutcome outcome =
        CTaskOutcomes(m_rig.m_dataSource.Driver()).Find(nTask).value_or(STaskOutcome{});
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Recorded);
    EXPECT_NE(outcome.strReason.find('1'), std::string::npos) << outcome.strReason;

    // A recording of the user's own in the same folder is no task's: it stays.
    EXPECT_EQ(CTaskRecordings(m_rig.m_dataSource.Driver()).ForTask(nTask).size(), 2u);
}

TEST_F(TaskSeriesTest, RetentionByAgeKeepsTheRecentDays) {
    CNewTask::SEntry entry = Entry(STaskRule::ERepeat::EveryDays);
    entry.rule.nEveryDays = 2;
    entry.rule.nKeepDays = 3;
    ASSERT_EQ(Add(entry), CNewTask::EResult::Stored);
    for (int nRun = 0; nRun < 4; ++nRun) {  // days 0, 2, 4 and 6
        AdvanceTo(entry.begin + 2 * nRun * kDay);
        m_recorder.StartTask(m_nTask);
        ASSERT_TRUE(m_recorder.IsRecording());
        AdvanceTo(entry.end + 2 * nRun * kDay);
        m_recorder.Tick();
    }
    // On day 6, days 4 and 6 are within three days; 0 and 2 are not.
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 2);
}

}  // namespace
