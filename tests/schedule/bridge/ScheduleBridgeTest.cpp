#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/scheduler/SimScheduler.h"
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
