#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/scheduler/SimScheduler.h"
#include "schedule/DataSourceId.h"
#include "schedule/ScheduleBridge.h"

namespace {

class ScheduleBridgeTest : public testing::Test {
protected:
    void SetUp() override {
        m_bridge.m_strApplication = "/opt/kestrel/bin/kestrel";
        m_bridge.m_strParameters = "7";
        m_bridge.m_strWorkingDirectory = "/home/listener/radio";
        m_bridge.m_strComment = "KestrelRadio Record";
    }

    CSimScheduler m_scheduler;
    std::ostringstream m_out;
    std::ostringstream m_err;
    CScheduleBridge m_bridge{m_scheduler, m_out, m_err};
};

}  // namespace

TEST_F(ScheduleBridgeTest, StartSchedulerReportsEachOutcomeOnItsOwnLine) {
    EXPECT_EQ(m_bridge.StartScheduler(), 0);
    EXPECT_EQ(m_scheduler.StartCount(), 0) << "a running scheduler is left alone";

    m_scheduler.SetRunning(false);
    EXPECT_EQ(m_bridge.StartScheduler(), 0);
    EXPECT_TRUE(m_scheduler.IsRunning());

    m_scheduler.SetRunning(false);
    m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Start, EACCES);
    EXPECT_EQ(m_bridge.StartScheduler(), EACCES);

    EXPECT_EQ(m_out.str(),
              "Task Scheduler is already running.\n"
              "Task Scheduler has been started.\n"
              "Could not start Task Scheduler.\n");
}

TEST_F(ScheduleBridgeTest, WorkItemCarriesTheFieldsAndTheSessionOfTheMomentOfRegistration) {
    setenv("DISPLAY", ":1", 1);
    unsetenv("WAYLAND_DISPLAY");
    m_bridge.m_strParameters = " 7  --quiet ";

    EXPECT_EQ(m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_7"), 1);
    setenv("DISPLAY", ":2", 1);

    EXPECT_EQ(m_bridge.LastRegistration(), 1);
    auto item = m_scheduler.WorkItem("KestrelRadio_Record_7");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->strApplication, "/opt/kestrel/bin/kestrel");
    EXPECT_EQ(item->arguments, (std::vector<std::string>{"7", "--quiet"}));
    EXPECT_EQ(item->strWorkingDirectory, "/home/listener/radio");
    EXPECT_EQ(item->begin, 1'178'028'240);
    std::map<std::string, std::string> environment(item->environment.begin(),
                                                   item->environment.end());
    EXPECT_EQ(environment["DISPLAY"], ":1");
    EXPECT_EQ(environment.count("WAYLAND_DISPLAY"), 0u);
}

TEST_F(ScheduleBridgeTest, FailedRegistrationStillReturnsOneAndOnlyARefusalIsReported) {
    m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_7");
    m_bridge.m_strParameters = "8";
    EXPECT_EQ(m_bridge.CreateWorkItem(1'178'031'840, "KestrelRadio_Record_7"), 1);
    EXPECT_EQ(m_bridge.LastRegistration(), 0);
    ASSERT_EQ(m_scheduler.WorkItems().size(), 1u);
    EXPECT_EQ(m_scheduler.WorkItems()[0].arguments, std::vector<std::string>{"7"});
    EXPECT_EQ(m_err.str(), "") << "a name that exists fails quietly";

    m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Submit, EACCES);
    EXPECT_EQ(m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_8"), 1);
    EXPECT_EQ(m_bridge.LastRegistration(), 0);
    EXPECT_TRUE(m_err.str().starts_with("Failed calling at, error = 0xd\n")) << m_err.str();
    EXPECT_EQ(m_out.str(), "");
}

TEST_F(ScheduleBridgeTest, PrepareSchedulerStartsWhatItCanAndNamesWhatTheUserMustDo) {
    EXPECT_TRUE(m_bridge.PrepareScheduler());
    m_scheduler.SetRunning(false);
    EXPECT_TRUE(m_bridge.PrepareScheduler());
    EXPECT_TRUE(m_scheduler.IsRunning());
    EXPECT_EQ(m_err.str(), "");

    m_scheduler.SetRunning(false);
    m_scheduler.SetFailure(CSimSchedulerControl::EOperation::Start, EPERM);
    const CStatus stopped = m_bridge.PrepareScheduler();
    EXPECT_FALSE(stopped);
    EXPECT_EQ(stopped.Message(), CScheduleBridge::kStoppedKey);
    EXPECT_EQ(m_err.str(),
              "Scheduled recordings cannot run: the simulated scheduler is stopped and could not "
              "be started: Operation not permitted\n");
    EXPECT_EQ(m_out.str(),
              "Task Scheduler is already running.\n"
              "Task Scheduler has been started.\n"
              "Could not start Task Scheduler.\n");

    // A denied user is not helped by starting the daemon.
    m_scheduler.SetDenied(true);
    const int nStarts = m_scheduler.StartCount();
    const CStatus denied = m_bridge.PrepareScheduler();
    EXPECT_FALSE(denied);
    EXPECT_EQ(denied.Message(), CScheduleBridge::kDeniedKey);
    EXPECT_EQ(m_scheduler.StartCount(), nStarts);
}

TEST_F(ScheduleBridgeTest, WorkItemsBelongToTheirDataSourceAndHandItToTheProgram) {
    m_bridge.m_strOwner = "source-a";
    m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_7");
    CScheduleBridge other(m_scheduler, m_out, m_err);
    other.m_strOwner = "source-b";
    other.m_strApplication = "/opt/kestrel/bin/kestrel";
    other.m_strParameters = "7";
    other.CreateWorkItem(1'178'031'840, "KestrelRadio_Record_7");
    ASSERT_EQ(other.LastRegistration(), 1) << "the same task number of another data source";

    const std::vector<SWorkItem> items = m_scheduler.WorkItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].strOwner, "source-a");
    EXPECT_EQ(items[0].arguments, (std::vector<std::string>{"--data-source=source-a", "7"}));
    EXPECT_EQ(CDataSourceId::FromArguments(items[0].arguments), "source-a");

    EXPECT_TRUE(other.DeleteWorkItem("KestrelRadio_Record_7"));
    ASSERT_EQ(m_scheduler.WorkItems().size(), 1u);
    EXPECT_EQ(m_scheduler.WorkItems()[0].strOwner, "source-a");
    EXPECT_FALSE(other.DeleteWorkItem("KestrelRadio_Record_7"));
}

TEST_F(ScheduleBridgeTest, FailedRegistrationNamesItsMessage) {
    m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_7");
    EXPECT_EQ(m_bridge.FailureKey(), "");
    m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_7");
    EXPECT_EQ(m_bridge.FailureKey(), CScheduleBridge::kNotRegisteredKey);
    m_scheduler.SetDenied(true);
    m_bridge.CreateWorkItem(1'178'028'240, "KestrelRadio_Record_8");
    EXPECT_EQ(m_bridge.FailureKey(), CScheduleBridge::kDeniedKey);
}

TEST(DataSourceIdTest, SwitchIsOneArgumentAndIdsAreFreshUuids) {
    const std::string strId = CDataSourceId::NewId();
    EXPECT_EQ(strId.size(), 36u);
    EXPECT_EQ(strId[14], '4');
    EXPECT_NE(strId, CDataSourceId::NewId());
    EXPECT_EQ(CDataSourceId::Switch(strId), "--data-source=" + strId);
    EXPECT_EQ(CDataSourceId::FromArguments({"-x", CDataSourceId::Switch(strId), "12"}), strId);
    EXPECT_EQ(CDataSourceId::FromArguments({"12"}), "");
}
