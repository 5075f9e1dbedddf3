#include <signal.h>

#include <chrono>
#include <thread>

#include "tests/schedule/bridge/AtdFixture.h"

TEST_F(AtdFixture, StartSchedulerStartsAStoppedAtdAndLeavesARunningOneAlone) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "stopping atd needs root";
    }
    pid_t old = m_scheduler.DaemonPid();
    ASSERT_GT(old, 0);
    ASSERT_EQ(::kill(old, SIGTERM), 0);
    for (int i = 0; i < 100 && m_scheduler.IsRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(m_scheduler.IsRunning());

    EXPECT_EQ(m_bridge.StartScheduler(), 0);
    pid_t started = m_scheduler.DaemonPid();
    EXPECT_GT(started, 0);
    EXPECT_NE(started, old);

    EXPECT_EQ(m_bridge.StartScheduler(), 0);
    EXPECT_EQ(m_scheduler.DaemonPid(), started);
    EXPECT_EQ(m_out.str(),
              "Task Scheduler has been started.\n"
              "Task Scheduler is already running.\n");
}

TEST_F(AtdFixture, WorkItemIsOneAtJobUntilDeleted) {
    m_bridge.m_strApplication = "/usr/bin/true";
    m_bridge.m_strParameters = std::to_string(m_nTask);
    m_bridge.m_strWorkingDirectory = "/";
    m_bridge.m_strComment = "KestrelRadio Record";
    std::time_t tomorrow = std::time(nullptr) + 24 * 3600;

    EXPECT_EQ(m_bridge.CreateWorkItem(tomorrow, m_strName), 1);
    ASSERT_EQ(m_bridge.LastRegistration(), 1) << m_err.str();
    std::vector<int> jobs = JobsCarrying(m_strName);
    ASSERT_EQ(jobs.size(), 1u);
    std::string strFirst = JobScript(jobs[0]);

    m_bridge.m_strParameters = "0";
    EXPECT_EQ(m_bridge.CreateWorkItem(tomorrow + 3600, m_strName), 1);
    EXPECT_EQ(m_bridge.LastRegistration(), 0);
    EXPECT_EQ(JobsCarrying(m_strName), jobs);
    EXPECT_EQ(JobScript(jobs[0]), strFirst);

    EXPECT_FALSE(m_bridge.DeleteWorkItem(m_strName + "0"));
    EXPECT_EQ(JobsCarrying(m_strName), jobs);
    EXPECT_TRUE(m_bridge.DeleteWorkItem(m_strName));
    EXPECT_TRUE(JobsCarrying(m_strName).empty());
    EXPECT_FALSE(m_bridge.DeleteWorkItem(m_strName));
}
