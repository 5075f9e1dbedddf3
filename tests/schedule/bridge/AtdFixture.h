#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/scheduler/AtScheduler.h"
#include "platform/scheduler/ChildProcess.h"
#include "schedule/ScheduleBridge.h"

// The bridge on the real at daemon, which the fixture makes sure runs. Each
// test registers under a name no user's task has and deletes it afterwards.
class AtdFixture : public testing::Test {
protected:
    void SetUp() override {
        int nResult = m_bridge.StartScheduler();
        if (nResult != 0 && geteuid() != 0) {
            GTEST_SKIP() << "atd is not running and only root can start it";
        }
        ASSERT_EQ(nResult, 0) << m_out.str();
        m_out.str("");
    }
    void TearDown() override { m_bridge.DeleteWorkItem(m_strName); }

    // Read back through at itself, not through the back-end under test.
    static std::vector<int> JobsCarrying(const std::string& strName) {
        std::vector<int> ids;
        SChildCommand atq;
        atq.argv = {"atq"};
        std::istringstream lines(RunChildProcess(atq).strOut);
        for (std::string strLine; std::getline(lines, strLine);) {
            int nId = std::atoi(strLine.c_str());
            if (nId > 0 && JobScript(nId).find("\n# Kestrel work item: " + strName + "\n") !=
                               std::string::npos) {
                ids.push_back(nId);
            }
        }
        return ids;
    }

    static std::string JobScript(int nId) {
        SChildCommand at;
        at.argv = {"at", "-c", std::to_string(nId)};
        return RunChildProcess(at).strOut;
    }

    const int m_nTask = 1'000'000'000 + getpid();
    const std::string m_strName = "KestrelRadio_Record_" + std::to_string(m_nTask);
    CAtScheduler m_scheduler;
    std::ostringstream m_out;
    std::ostringstream m_err;
    CScheduleBridge m_bridge{m_scheduler, m_out, m_err};
};
