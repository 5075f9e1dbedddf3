#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/platform/scheduler/ProbeRuns.h"
#include "tests/schedule/bridge/AtdFixture.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

// The one test that waits for the daemon's clock: up to a minute for the next
// minute to come, and a little for the job to run.
TEST_F(AtdFixture, WorkItemRunsTheProgramOnceAtItsMinute) {
    CTempDir temp;
    fs::path bin = temp.Path() / (std::string("bin ") + HostileName());
    fs::path work = temp.Path() / HostileName();
    fs::create_directories(bin);
    fs::create_directories(work);
    fs::copy_file(KESTREL_SCHEDULER_PROBE, bin / "kestrel's probe");
    setenv("DISPLAY", ":5 'q' $HOME", 1);

    m_bridge.m_strApplication = (bin / "kestrel's probe").string();
    m_bridge.m_strParameters = std::to_string(m_nTask);
    m_bridge.m_strWorkingDirectory = work.string();
    m_bridge.m_strComment = "KestrelRadio Record";
    std::time_t nextMinute = (std::time(nullptr) / 60 + 1) * 60;
    m_bridge.CreateWorkItem(nextMinute, m_strName);
    ASSERT_EQ(m_bridge.LastRegistration(), 1) << m_err.str();

    auto deadline = std::chrono::system_clock::from_time_t(nextMinute) + std::chrono::seconds(50);
    while (ReadProbeRuns(work).empty() && std::chrono::system_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    for (int i = 0; i < 40 && !JobsCarrying(m_strName).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }

    std::vector<SProbeRun> runs = ReadProbeRuns(work);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_GE(std::time(nullptr), nextMinute);
    EXPECT_EQ(runs[0].arguments, std::vector<std::string>{std::to_string(m_nTask)});
    EXPECT_EQ(runs[0].strCwd, work.string());
    EXPECT_EQ(runs[0].strDisplay, ":5 'q' $HOME");
    for (const fs::path& dir : {temp.Path(), work, bin, fs::path("/")}) {
        EXPECT_FALSE(fs::exists(dir / "pwned")) << dir;
    }
    EXPECT_FALSE(m_bridge.DeleteWorkItem(m_strName)) << "a job that has run is gone";
}
