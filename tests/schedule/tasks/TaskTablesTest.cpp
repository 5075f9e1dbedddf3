#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "schedule/TaskOutcomes.h"
#include "schedule/TaskRecordings.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSet.h"
#include "tests/platform/db/DbTest.h"

namespace {

// The tables beside Task and FileList, made on first use, on each back-end.
class TaskTablesTest : public CDbTest {};

TEST_F(TaskTablesTest, ARuleIsKeptWholeAndMovesItsTaskRow) {
    CTaskSet tasks(Driver());
    ASSERT_TRUE(tasks.Open("select * from Task"));
    tasks.AddNew();
    tasks.m_BeginTime = LocalTime(2031, 5, 1, 18, 0);
    tasks.m_EndTime = LocalTime(2031, 5, 1, 19, 0);
    tasks.m_Channel = "1008";
    tasks.Update();
    const int nTask = tasks.m_ID;

    STaskRule rule;
    rule.nTask = nTask;
    rule.eRepeat = STaskRule::ERepeat::Weekdays;
    rule.nWeekdays = 0x2A;
    rule.first = LocalTime(2031, 5, 1, 18, 0);
    rule.nLength = 3600;
    rule.until = LocalTime(2031, 12, 31, 23, 59);
    rule.nTimes = 7;
    rule.nPadBefore = 2;
    rule.nPadAfter = 3;
    rule.bEnabled = false;
    rule.nKeepLast = 4;
    rule.nKeepDays = 30;
    CTaskRules rules(Driver());
    ASSERT_TRUE(rules.Record(rule));
    rule.nTimes = 8;  // recorded again: replaced, not doubled
    ASSERT_TRUE(rules.Record(rule));
    const std::optional<STaskRule> read = rules.Find(nTask);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->RepeatText(), "mon,wed,fri");
    EXPECT_EQ(read->first, rule.first);
    EXPECT_EQ(read->until, rule.until);
    EXPECT_EQ(read->nTimes, 8);
    EXPECT_EQ(read->nPadAfter, 3);
    EXPECT_FALSE(read->bEnabled);
    EXPECT_EQ(read->nKeepLast, 4);
    EXPECT_EQ(read->nKeepDays, 30);
    EXPECT_EQ(rules.All().size(), 1u);

    ASSERT_TRUE(rules.MoveTask(nTask, LocalTime(2031, 5, 2, 17, 58), LocalTime(2031, 5, 2, 19, 3)));
    std::time_t end = 0;
    ASSERT_TRUE(tasks.GetEndTime(nTask, end));
    EXPECT_EQ(tasks.m_BeginTime, LocalTime(2031, 5, 2, 17, 58));
    EXPECT_EQ(end, LocalTime(2031, 5, 2, 19, 3));

    ASSERT_TRUE(rules.Forget(nTask));
    EXPECT_FALSE(rules.Find(nTask));
}

TEST_F(TaskTablesTest, RecordingsAndOutcomesOfATaskComeInTheirOrder) {
    CTaskRecordings recordings(Driver());
    ASSERT_TRUE(recordings.Record({12, 5, 2000}));
    ASSERT_TRUE(recordings.Record({11, 5, 1000}));
    ASSERT_TRUE(recordings.Record({13, 6, 1500}));
    const std::vector<CTaskRecordings::SRecording> mine = recordings.ForTask(5);
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0].nFile, 11);  // the earliest first
    ASSERT_TRUE(recordings.Forget(11));
    EXPECT_EQ(recordings.ForTask(5).size(), 1u);

    CTaskOutcomes outcomes(Driver());
    for (std::time_t ended : {100, 300, 200}) {
        STaskOutcome outcome;
        outcome.nTask = 5;
        outcome.eKind = ended == 300 ? STaskOutcome::EKind::Missed : STaskOutcome::EKind::Recorded;
        outcome.ended = ended;
        ASSERT_TRUE(outcomes.Record(outcome));
    }
    EXPECT_EQ(outcomes.Find(5)->ended, 200);  // the last recorded
    const std::vector<STaskOutcome> history = outcomes.History(5, 2);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].eKind, STaskOutcome::EKind::Missed);  // the latest first
    ASSERT_TRUE(outcomes.Forget(5));
    EXPECT_TRUE(outcomes.History(5, 10).empty());
}

}  // namespace
