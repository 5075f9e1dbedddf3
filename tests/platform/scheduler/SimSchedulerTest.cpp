#include <gtest/gtest.h>

#include <cerrno>

#include "platform/scheduler/SimScheduler.h"
#include "tests/platform/scheduler/ProbeRuns.h"
#include "tests/support/TempDir.h"

TEST(SimSchedulerTest, FiringRunsTheProgramOnceAsItWasRegistered) {
    CTempDir temp;
    CSimScheduler scheduler;
    SWorkItem item;
    item.strName = "KestrelRadio_Record_5";
    item.strApplication = KESTREL_SCHEDULER_PROBE;
    item.arguments = {"5"};
    item.strWorkingDirectory = temp.Path().string();
    item.environment = {{"DISPLAY", ":3"}};
    std::string strError;
    ASSERT_EQ(scheduler.Submit(item, strError), 0);

    scheduler.SetRunning(false);
    EXPECT_EQ(scheduler.Fire(item.strName), -1) << "a stopped daemon runs nothing";
    EXPECT_EQ(scheduler.Start(), 0);

    EXPECT_EQ(scheduler.Fire(item.strName), 0);
    std::vector<SProbeRun> runs = ReadProbeRuns(temp.Path());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].arguments, std::vector<std::string>{"5"});
    EXPECT_EQ(runs[0].strCwd, temp.Path().string());
    EXPECT_EQ(runs[0].strDisplay, ":3");
    EXPECT_FALSE(scheduler.WorkItem(item.strName)) << "a one-time job is gone once it ran";
    EXPECT_EQ(scheduler.Fire(item.strName), -1);
}

TEST(SimSchedulerTest, ItemsOfOneNameAreTheirOwnersAndAnOwnerlessOneIsAnyones) {
    CSimScheduler scheduler;
    SWorkItem item;
    item.strName = "KestrelRadio_Record_1";
    item.strOwner = "source-a";
    std::string strError;
    ASSERT_EQ(scheduler.Submit(item, strError), 0);
    item.strOwner = "source-b";
    ASSERT_EQ(scheduler.Submit(item, strError), 0);
    EXPECT_EQ(scheduler.Submit(item, strError), EEXIST);

    EXPECT_FALSE(scheduler.Remove(item.strName, ""));
    EXPECT_TRUE(scheduler.Remove(item.strName, "source-a"));
    ASSERT_EQ(scheduler.WorkItems().size(), 1u);
    EXPECT_EQ(scheduler.WorkItems()[0].strOwner, "source-b");

    item.strName = "KestrelRadio_Record_2";
    item.strOwner.clear();
    ASSERT_EQ(scheduler.Submit(item, strError), 0);
    item.strOwner = "source-c";
    EXPECT_EQ(scheduler.Submit(item, strError), EEXIST);
    EXPECT_TRUE(scheduler.Remove(item.strName, "source-c"));
}

TEST(SimSchedulerTest, StateSaysWhatKeepsWorkItemsFromRunning) {
    CSimScheduler scheduler;
    std::string strReason;
    EXPECT_EQ(scheduler.State(strReason), ESchedulerState::Usable);
    EXPECT_EQ(strReason, "");
    scheduler.SetRunning(false);
    EXPECT_EQ(scheduler.State(strReason), ESchedulerState::Stopped);
    EXPECT_FALSE(strReason.empty());

    scheduler.SetDenied(true);
    EXPECT_EQ(scheduler.State(strReason), ESchedulerState::Denied);
    SWorkItem item;
    item.strName = "KestrelRadio_Record_1";
    std::string strError;
    EXPECT_EQ(scheduler.Submit(item, strError), EACCES);
    EXPECT_TRUE(scheduler.WorkItems().empty());
}
