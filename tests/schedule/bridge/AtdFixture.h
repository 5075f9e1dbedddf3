#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include <sstream>
#include <string>
#include <vector>

#include "platform/scheduler/AtScheduler.h"
#include "platform/scheduler/ChildProcess.h"
#include "schedule/ScheduleBridge.h"

// The bridge on the real at daemon, which the fixture makes sure runs; a
// daemon it had to start it stops again. Each test registers under a name no
// user's task has and deletes it afterwards.
class AtdFixture : public testing::Test {
protected:
    void SetUp() override {
        const bool bWasRunning = m_scheduler.IsRunning();
        int nResult = m_bridge.StartScheduler();
        if (nResult != 0 && geteuid() != 0) {
            GTEST_SKIP() << "atd is not running and only root can start it";
        }
        ASSERT_EQ(nResult, 0) << m_out.str();
        m_started = bWasRunning ? -1 : m_scheduler.DaemonPid();
        m_out.str("");
    }
    void TearDown() override {
        m_bridge.DeleteWorkItem(m_strName);
        if (m_started > 0 && m_scheduler.DaemonPid() == m_started) {
            StopDaemon(m_started);
        }
    }

    // True when the daemon may be stopped: the test command started it for
    // this run (and says so), or this test did.
    bool MayStopDaemon() const {
        const char* pStarted = std::getenv("KESTREL_TEST_ATD_STARTED");
        return m_started > 0 || (pStarted && std::string(pStarted) == "1");
    }

    bool StopDaemon(pid_t pid) {
        if (::kill(pid, SIGTERM) != 0) {
            return false;
        }
        for (int i = 0; i < 100 && m_scheduler.IsRunning(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return !m_scheduler.IsRunning();
    }

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
    pid_t m_started = -1;  // the daemon this fixture started
    std::ostringstream m_out;
    std::ostringstream m_err;
    CScheduleBridge m_bridge{m_scheduler, m_out, m_err};
};
