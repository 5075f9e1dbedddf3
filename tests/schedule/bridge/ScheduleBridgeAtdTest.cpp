#include "schedule/DataSourceId.h"
#include "tests/schedule/bridge/AtdFixture.h"

// Stops the daemon: only one that this run started, never the system's own.
TEST_F(AtdFixture, StartSchedulerStartsAStoppedAtdAndLeavesARunningOneAlone) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "stopping atd needs root";
    }
    if (!MayStopDaemon()) {
        GTEST_SKIP() << "atd was running before the tests; it is not stopped "
                        "(scripts/test.sh starts one of its own when none runs)";
    }
    pid_t old = m_scheduler.DaemonPid();
    ASSERT_GT(old, 0);
    ASSERT_TRUE(StopDaemon(old));

    EXPECT_EQ(m_bridge.StartScheduler(), 0);
    pid_t started = m_scheduler.DaemonPid();
    EXPECT_GT(started, 0);
    EXPECT_NE(started, old);
    if (m_started > 0) {
        m_started = started;  // the fixture's own, to stop again
    }

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

TEST_F(AtdFixture, RootMayScheduleOnTheRunningDaemon) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "whether this user may use at is the system's at.allow and at.deny";
    }
    std::string strReason;
    EXPECT_EQ(m_scheduler.State(strReason), ESchedulerState::Usable) << strReason;
    EXPECT_TRUE(m_bridge.PrepareScheduler()) << m_err.str();
    EXPECT_EQ(m_out.str(), "Task Scheduler is already running.\n");
}

// A second data source (or a re-created database) has its own task 1.
TEST_F(AtdFixture, WorkItemsOfTwoDataSourcesNeverCollide) {
    CScheduleBridge other(m_scheduler, m_out, m_err);
    for (CScheduleBridge* pBridge : {&m_bridge, &other}) {
        pBridge->m_strApplication = "/usr/bin/true";
        pBridge->m_strParameters = std::to_string(m_nTask);
        pBridge->m_strWorkingDirectory = "/";
        pBridge->m_strComment = "KestrelRadio Record";
    }
    m_bridge.m_strOwner = CDataSourceId::NewId();
    other.m_strOwner = CDataSourceId::NewId();
    const std::time_t tomorrow = std::time(nullptr) + 24 * 3600;
    m_bridge.CreateWorkItem(tomorrow, m_strName);
    ASSERT_EQ(m_bridge.LastRegistration(), 1) << m_err.str();
    other.CreateWorkItem(tomorrow + 60, m_strName);
    ASSERT_EQ(other.LastRegistration(), 1) << m_err.str();
    std::vector<int> jobs = JobsCarrying(m_strName);
    ASSERT_EQ(jobs.size(), 2u);

    EXPECT_TRUE(other.DeleteWorkItem(m_strName));
    jobs = JobsCarrying(m_strName);
    ASSERT_EQ(jobs.size(), 1u);
    const std::string strScript = JobScript(jobs[0]);
    EXPECT_NE(strScript.find(CAtScheduler::OwnerLine(m_bridge.m_strOwner)), std::string::npos);
    EXPECT_NE(strScript.find("'--data-source=" + m_bridge.m_strOwner + "' '" +
                             std::to_string(m_nTask) + "'"),
              std::string::npos)
        << strScript;
    EXPECT_FALSE(other.DeleteWorkItem(m_strName));
    EXPECT_TRUE(m_bridge.DeleteWorkItem(m_strName));
    EXPECT_TRUE(JobsCarrying(m_strName).empty());
}
