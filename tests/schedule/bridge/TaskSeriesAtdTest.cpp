#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>

#include "platform/clock/SystemClock.h"
#include "platform/db/SimDataSource.h"
#include "platform/names/KestrelNames.h"
#include "schedule/NewTask.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSeries.h"
#include "schedule/TaskSet.h"
#include "tests/schedule/bridge/AtdFixture.h"
#include "tests/support/TempDir.h"

namespace {

// Repeating tasks as the new task window and the task list make them, on
// the real at daemon: one job per task, for its next recording.
class TaskSeriesAtdTest : public AtdFixture {
protected:
    void SetUp() override {
        AtdFixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The tasks get ids no user's task has, from the fixture's own on.
        m_data.Execute("INSERT INTO Task (ID, BeginTime, EndTime, Channel) VALUES (?, ?, ?, ?)",
                       {std::int64_t{m_nTask - 1}, SDbTime{978'307'200}, SDbTime{978'310'800},
                        std::string("1008")});
        ASSERT_TRUE(m_tasks.Open());
    }
    void TearDown() override {
        for (int nTask = m_nTask; nTask < m_nTask + 3; ++nTask) {
            m_bridge.DeleteWorkItem(KestrelNames::WorkItemName(nTask));
        }
        AtdFixture::TearDown();
    }

    CNewTask Task() {
        CNewTask::SContext context{
            m_clock, m_data.Driver(),
            [](int nBand) { return CTuningSteps(nBand, CTuningSteps::SPlan{}); },
            [](const std::string& strKey) { return strKey; }, m_dir.Path().string()};
        return CNewTask(m_tasks, m_bridge, std::move(context));
    }
    // Tomorrow, this minute, daily, for half an hour from two minutes early.
    CNewTask::SEntry Entry() {
        const std::time_t now = m_clock.Now();
        CNewTask::SEntry entry;
        entry.begin = now - now % 60 + 24 * 3600;
        entry.end = entry.begin + 1800;
        entry.nBand = CNewTask::BAND_FM;
        entry.strFrequency = "80.00";
        entry.rule.eRepeat = STaskRule::ERepeat::Daily;
        entry.rule.nPadBefore = 2;
        return entry;
    }
    size_t Jobs(int nTask) { return JobsCarrying(KestrelNames::WorkItemName(nTask)).size(); }

    CTempDir m_dir;
    CSimDataSource m_data{m_dir.Path()};
    CTaskSet m_tasks{m_data.Driver()};
    CSystemClock m_clock;
};

TEST_F(TaskSeriesAtdTest, EditingReplacesTheJobAndADisabledTaskHasNone) {
    CNewTask::SEntry entry = Entry();
    CNewTask first = Task();
    ASSERT_EQ(first.Add(entry), CNewTask::EResult::Stored) << first.ErrorText();
    const int nTask = first.StoredTask();
    ASSERT_EQ(nTask, m_nTask);
    EXPECT_EQ(Jobs(nTask), 1u);

    entry.rule.nPadBefore = 5;  // the edit: start earlier
    CNewTask edit = Task();
    ASSERT_EQ(edit.Replace(nTask, entry), CNewTask::EResult::Stored) << edit.ErrorText();
    const int nEdited = edit.StoredTask();
    EXPECT_EQ(Jobs(nTask), 0u);
    EXPECT_EQ(Jobs(nEdited), 1u);
    const std::string strScript = JobScript(JobsCarrying(KestrelNames::WorkItemName(nEdited))[0]);
    EXPECT_NE(strScript.find(std::to_string(nEdited)), std::string::npos);

    std::time_t end = 0;
    ASSERT_TRUE(m_tasks.GetEndTime(nEdited, end));
    const std::time_t start = m_tasks.m_BeginTime;
    EXPECT_EQ(start, entry.begin - 300);
    CTaskRules rules(m_data.Driver());
    CTaskSeries series(rules, m_bridge, m_data.Driver(), m_dir.Path().string());
    ASSERT_TRUE(series.SetEnabled(nEdited, false, start, end, m_clock.Now()));
    EXPECT_EQ(Jobs(nEdited), 0u);
    ASSERT_TRUE(series.SetEnabled(nEdited, true, start, end, m_clock.Now()));
    EXPECT_EQ(Jobs(nEdited), 1u);
}

}  // namespace
