// How soon a scheduled recording holds audio: from the begin minute to the
// first audio sample in the record file (the WAV file grown past its
// header), for a start with no display through a real at job fired by the
// real at daemon, on the simulated receiver and sound card. Each job needs a
// minute of its own; while it waits, the program is also started directly
// and timed from its start to the first sample.
//
//   scheduled_start_bench [jobs (3)] [direct starts (5)]
//
// Needs a running atd (started when root), the SQLite ODBC driver and the
// set-up step; runs as root or as the user whose jobs these are.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/scheduler/AtScheduler.h"
#include "schedule/DataSourceId.h"
#include "tests/e2e/ChildProgram.h"
#include "tests/e2e/ProcessWatch.h"
#include "tests/e2e/ScheduledCase.h"
#include "tests/e2e/ScopedEnvironment.h"
#include "tests/e2e/ScriptedDataSource.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using SystemClock = std::chrono::system_clock;

namespace {

constexpr std::uint32_t kChannel = 0x80000000u | 8000u;  // FM 80.0 MHz
constexpr std::uintmax_t kWavHeaderBytes = 44;
constexpr auto kPoll = 1ms;
constexpr auto kFirstSampleWait = 50s;

double Seconds(SystemClock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// When the record folder first holds a file grown past its header.
std::optional<SystemClock::time_point> WaitForFirstSample(const fs::path& folder,
                                                          SystemClock::time_point deadline) {
    while (SystemClock::now() < deadline) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
            if (entry.file_size(error) > kWavHeaderBytes && !error) {
                return SystemClock::now();
            }
        }
        std::this_thread::sleep_for(kPoll);
    }
    return std::nullopt;
}

// A user of its own for each start, recording WAV in the profile's quality.
std::unique_ptr<CScheduledCase> MakeUser(const fs::path& folder) {
    auto pUser = std::make_unique<CScheduledCase>(folder);
    pUser->Profile().WriteProfileInt("SET", "RECOTYPE", 1);
    fs::create_directories(pUser->RecordFolder());
    return pUser;
}

// Ends a run cleanly (it catalogues what it has) and waits for it.
void StopRuns(CProcessWatch& watch, const std::string& strRuntimeDir) {
    for (int i = 0; i < 100; ++i) {
        watch.Look();
        const std::vector<pid_t> live = watch.Live(strRuntimeDir);
        if (live.empty()) {
            return;
        }
        if (i == 0 || i == 50) {
            for (pid_t pid : live) {
                ::kill(pid, i == 0 ? SIGTERM : SIGKILL);
            }
        }
        std::this_thread::sleep_for(100ms);
    }
}

class CBench {
public:
    CBench() : m_watch(KESTREL_PROGRAM) {}

    bool Prepare();
    // strRegistry: a plugin registry of its own (none made yet); empty for
    // the shared one.
    std::optional<double> DirectStart(int nRun, const std::string& strRegistry = {});
    fs::path Folder() const { return m_temp.Path(); }
    std::optional<double> ScheduledStart(int nRun, int nDirectLeft, std::vector<double>& direct);
    void Clean();

private:
    CTempDir m_temp;
    CScopedEnvironment m_environment;
    CAtScheduler m_scheduler;
    CProcessWatch m_watch;
    std::unique_ptr<CScriptedDataSource> m_pData;
    std::vector<int> m_tasks;
};

bool CBench::Prepare() {
    if (!m_scheduler.IsRunning() && m_scheduler.Start() != 0) {
        std::fprintf(stderr, "atd is not running and cannot be started\n");
        return false;
    }
    try {
        ShareMediaRegistry(m_environment, m_temp.Path() / "gst-registry.bin");
        m_pData = std::make_unique<CScriptedDataSource>(m_temp.Path() / "db");
        m_pData->StartTaskIdsAt(1'100'000'000 + (getpid() % 100'000) * 1000);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return false;
    }
    return true;
}

// The program's own share: started here as its job would start it.
std::optional<double> CBench::DirectStart(int nRun, const std::string& strRegistry) {
    const std::unique_ptr<CScheduledCase> pUser =
        MakeUser(m_temp.Path() / ("direct" + std::to_string(nRun)));
    const std::time_t minute = std::time(nullptr) / 60 * 60;
    const int nTask = m_pData->AddTask(minute, minute + 120, kChannel);
    m_tasks.push_back(nTask);
    const auto start = SystemClock::now();
    CChildProgram run(
        {KESTREL_PROGRAM, CDataSourceId::Switch(m_pData->Id()), std::to_string(nTask)},
        pUser->Environment(strRegistry.empty()
                               ? std::vector<std::string>{}
                               : std::vector<std::string>{"GST_REGISTRY=" + strRegistry}),
        pUser->Folder().string(), (pUser->Folder() / "run.log").string());
    const std::optional<SystemClock::time_point> first =
        WaitForFirstSample(pUser->RecordFolder(), start + kFirstSampleWait);
    run.Signal(SIGTERM);
    run.Wait(10s);
    if (!first) {
        std::fprintf(stderr, "direct start %d: no audio:\n%s\n", nRun, run.Log().c_str());
        return std::nullopt;
    }
    return Seconds(*first - start);
}

// One job for the next minute with time to submit it; direct starts fill
// the wait.
std::optional<double> CBench::ScheduledStart(int nRun, int nDirectLeft,
                                             std::vector<double>& direct) {
    const std::unique_ptr<CScheduledCase> pUser =
        MakeUser(m_temp.Path() / ("job" + std::to_string(nRun)));
    std::time_t begin = (std::time(nullptr) / 60 + 1) * 60;
    if (begin - std::time(nullptr) < 10) {
        begin += 60;
    }
    const int nTask = m_pData->AddTask(begin, begin + 120, kChannel);
    m_tasks.push_back(nTask);
    {
        CScopedEnvironment scope;
        pUser->Enter(scope);
        if (std::optional<std::string> strError =
                pUser->Submit(m_scheduler, KESTREL_PROGRAM, m_pData->Id(), nTask, begin)) {
            std::fprintf(stderr, "%s\n", strError->c_str());
            return std::nullopt;
        }
    }
    const auto minute = SystemClock::from_time_t(begin);
    for (int n = 0; n < nDirectLeft && SystemClock::now() + 8s < minute; ++n) {
        if (std::optional<double> seconds = DirectStart(static_cast<int>(direct.size()))) {
            direct.push_back(*seconds);
            std::printf("direct start %zu: first sample after %.3f s\n", direct.size(), *seconds);
        }
    }
    std::this_thread::sleep_until(minute - 200ms);
    // The job's program, seen coming, tells at's share from the program's.
    while (SystemClock::now() < minute + kFirstSampleWait) {
        m_watch.Look();
        const std::vector<CProcessWatch::SSeen> seen = m_watch.Seen(pUser->RuntimeDir());
        if (!seen.empty()) {
            std::printf("at job %d: the program ran %.3f s after its begin minute\n", nRun + 1,
                        Seconds(seen.front().first - minute));
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    const std::optional<SystemClock::time_point> first =
        WaitForFirstSample(pUser->RecordFolder(), minute + kFirstSampleWait);
    StopRuns(m_watch, pUser->RuntimeDir());
    m_scheduler.Remove(WorkItemName(nTask), m_pData->Id());
    if (!first) {
        std::fprintf(stderr, "job %d: no audio within %.0f s of its minute\n", nRun,
                     Seconds(kFirstSampleWait));
        return std::nullopt;
    }
    return Seconds(*first - minute);
}

void CBench::Clean() {
    if (!m_pData) {
        return;
    }
    for (int nTask : m_tasks) {
        m_scheduler.Remove(WorkItemName(nTask), m_pData->Id());
    }
    m_pData.reset();
}

int Count(int argc, char** argv, int nIndex, int nDefault) {
    return argc > nIndex ? std::max(1, std::atoi(argv[nIndex])) : nDefault;
}

}  // namespace

int main(int argc, char** argv) {
    const int nJobs = Count(argc, argv, 1, 3);
    const int nDirect = Count(argc, argv, 2, 5);
    CBench bench;
    if (!bench.Prepare()) {
        return 1;
    }
    // A first start ever (no plugin registry yet) scans every plugin.
    if (std::optional<double> seconds =
            bench.DirectStart(-1, (bench.Folder() / "cold-registry.bin").string())) {
        std::printf("direct start with no plugin registry yet: first sample after %.3f s\n",
                    *seconds);
    }
    std::vector<double> scheduled;
    std::vector<double> direct;
    for (int n = 0; n < nJobs; ++n) {
        const int nDirectLeft = std::max(0, nDirect - static_cast<int>(direct.size()));
        if (std::optional<double> seconds = bench.ScheduledStart(n, nDirectLeft, direct)) {
            scheduled.push_back(*seconds);
            std::printf("at job %d: first sample %.3f s after its begin minute\n", n + 1, *seconds);
        }
        std::fflush(stdout);
    }
    while (static_cast<int>(direct.size()) < nDirect) {
        std::optional<double> seconds = bench.DirectStart(static_cast<int>(direct.size()));
        if (!seconds) {
            break;
        }
        direct.push_back(*seconds);
        std::printf("direct start %zu: first sample after %.3f s\n", direct.size(), *seconds);
    }
    bench.Clean();
    if (scheduled.empty() || direct.empty()) {
        std::printf("scheduled start: no figure (see the errors above)\n");
        return 1;
    }
    std::printf("direct start to first sample: median %.3f s over %zu starts\n", Median(direct),
                direct.size());
    std::printf("begin minute to first sample through at: median %.3f s over %zu jobs\n",
                Median(scheduled), scheduled.size());
    return 0;
}
