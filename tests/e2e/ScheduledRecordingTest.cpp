// Scheduled recordings made with nobody there: real at jobs, fired by the
// real at daemon, start the program on the simulated receiver against a data
// source laid out by the set-up step. The cases that can share a minute run
// side by side in it, each as a user of its own; the suite waits for the
// daemon's clock once and each test then reads what its case left behind:
// the file, its catalogue row, the task's outcome and the processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/scheduler/AtScheduler.h"
#include "platform/scheduler/ChildProcess.h"
#include "record/FileListSet.h"
#include "schedule/DataSourceId.h"
#include "schedule/Recurrence.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSet.h"
#include "settings/Language.h"
#include "settings/LanguageTexts.h"
#include "tests/e2e/ChildProgram.h"
#include "tests/e2e/ProcessWatch.h"
#include "tests/e2e/ScheduledCase.h"
#include "tests/e2e/ScopedEnvironment.h"
#include "tests/e2e/ScriptedDataSource.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/platform/media/SmallDisk.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// FM 80.0 MHz.
constexpr std::uint32_t kChannel = 0x80000000u | 8000u;
// A task's program must be gone this long after the task's end.
constexpr std::time_t kGoneAfter = 10;
// at starts a job within seconds of its minute, later on a busy machine;
// the recording starts soon after.
constexpr std::time_t kStartSlack = 30;
// A disk that a minute of 44.1 kHz WAV fills in about 12 s: 2 MiB beyond the
// 1 MiB the recorder keeps free.
constexpr std::uint64_t kSmallDiskBytes = 3 * 1024 * 1024;
constexpr const char* kMissingDisplay = ":93";

// The English text the program shows for a message: the one of the
// language file it finds beside itself, else its own.
std::string Message(const char* pKey) {
    const CLanguage language(KESTREL_SHIPPED_LANGUAGE);
    return language.ReadString("English", pKey, CLanguageTexts::EnglishMessage(pKey));
}

std::string LocalTime(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof(text), "%H:%M:%S", &local);
    return text;
}

struct STask {
    int nId = 0;
    std::time_t begin = 0;
    std::time_t end = 0;
    std::time_t job = 0;  // the minute its job runs
};

// One case: a user, the tasks of its jobs, and why it could not run.
struct SCase {
    std::string strName;
    std::unique_ptr<CScheduledCase> pUser;
    std::string strDisplay;  // empty: none at all
    std::vector<STask> tasks;
    std::string strProblem;
    bool bWindow = false;  // a window copy runs in the case's session

    std::time_t LastEnd() const {
        std::time_t end = 0;
        for (const STask& task : tasks) {
            end = std::max({end, task.end, task.job});
        }
        return end;
    }
};

enum ECase {
    kNoDisplay,
    kMissingDisplayCase,
    kMissed,
    kUnplugged,
    kFullDisk,
    kHandOver,
    kWindow,
    kDaily,
};

// Everything the suite set up, ran and saw; made once for all its tests.
struct SWorld {
    CTempDir temp;
    CScopedEnvironment environment;
    CAtScheduler scheduler;
    pid_t startedDaemon = -1;
    std::string strSkip;
    std::string strProblem;
    std::unique_ptr<CScriptedDataSource> pData;
    std::map<ECase, SCase> cases;
    std::unique_ptr<CSmallDisk> pDisk;
    std::unique_ptr<CChildProgram> pWindow;
    std::optional<int> windowStatus;
    std::string strWindowLog;
    CProcessWatch watch{KESTREL_PROGRAM};
    std::time_t firstMinute = 0;

    void Run();
    void Clean();
    // The rule of the daily case's task.
    static STaskRule DailyRule(const STask& task);

private:
    bool MakeDaemonRun();
    void MakeCases();
    void StartWindowCopy(SCase& window);
    void AddTasks();
    void Submit();
    void WatchUntilSettled();
    bool IsSettled(std::time_t now);
    void StopWindowCopy();
    void PrintSummary();
};

void SWorld::Run() {
    if (!MakeDaemonRun()) {
        return;
    }
    try {
        ShareMediaRegistry(environment, temp.Path() / "gst-registry.bin");
        pData = std::make_unique<CScriptedDataSource>(temp.Path() / "db");
        // Ids no user's task has: the program deletes its task's jobs by name.
        pData->StartTaskIdsAt(1'000'000'000 + (getpid() % 100'000) * 1000);
        MakeCases();
    } catch (const std::exception& error) {
        strProblem = error.what();
        return;
    }
    // The jobs are submitted before the minute comes, with time to spare.
    const std::time_t now = std::time(nullptr);
    firstMinute = (now / 60 + 1) * 60;
    if (firstMinute - now < 15) {
        firstMinute += 60;
    }
    AddTasks();
    Submit();
    WatchUntilSettled();
    StopWindowCopy();
    PrintSummary();
}

// What became of every task, for the log of the run.
void SWorld::PrintSummary() {
    std::printf("first job minute %s\n", LocalTime(firstMinute).c_str());
    for (const auto& [eCase, entry] : cases) {
        if (!entry.strProblem.empty()) {
            std::printf("%s: not run: %s\n", entry.strName.c_str(), entry.strProblem.c_str());
            continue;
        }
        for (const STask& task : entry.tasks) {
            const STaskOutcome outcome = pData->Outcome(task.nId).value_or(STaskOutcome{});
            std::printf("%s: task %d (%s-%s, job %s): %s %s %llds (%s)\n", entry.strName.c_str(),
                        task.nId, LocalTime(task.begin).c_str(), LocalTime(task.end).c_str(),
                        LocalTime(task.job).c_str(), STaskOutcome::KindName(outcome.eKind),
                        outcome.strFile.c_str(), static_cast<long long>(outcome.nSeconds),
                        outcome.strReason.c_str());
        }
        for (const CProcessWatch::SSeen& seen : watch.Seen(entry.pUser->RuntimeDir())) {
            std::printf("%s: pid %d seen %s to %s%s\n", entry.strName.c_str(), seen.pid,
                        LocalTime(std::chrono::system_clock::to_time_t(seen.first)).c_str(),
                        LocalTime(std::chrono::system_clock::to_time_t(seen.last)).c_str(),
                        seen.bLive ? " (still running)" : "");
        }
    }
    if (windowStatus) {
        std::printf("window copy on SIGTERM: %s\n", DescribeStatus(*windowStatus).c_str());
    }
    std::fflush(stdout);
}

bool SWorld::MakeDaemonRun() {
    if (scheduler.IsRunning()) {
        return true;
    }
    if (geteuid() != 0) {
        strSkip = "atd is not running and only root can start it";
        return false;
    }
    if (const int nError = scheduler.Start(); nError != 0) {
        strProblem = "atd could not be started: " + std::string(std::strerror(nError));
        return false;
    }
    startedDaemon = scheduler.DaemonPid();
    return true;
}

void SWorld::MakeCases() {
    const fs::path& root = temp.Path();
    const std::pair<ECase, const char*> names[] = {
        {kNoDisplay, "no display"}, {kMissingDisplayCase, "missing display"},
        {kMissed, "missed"},        {kUnplugged, "receiver absent"},
        {kFullDisk, "full disk"},   {kHandOver, "hand-over"},
        {kWindow, "window open"},   {kDaily, "daily"}};
    for (const auto& [eCase, pName] : names) {
        cases[eCase].strName = pName;
    }
    cases[kNoDisplay].pUser = std::make_unique<CScheduledCase>(root / "nodisplay");
    cases[kMissingDisplayCase].pUser = std::make_unique<CScheduledCase>(root / "baddisplay");
    cases[kMissingDisplayCase].strDisplay = kMissingDisplay;
    cases[kMissingDisplayCase].pUser->Profile().WriteProfileInt("SET", "RECOTYPE", 1);
    cases[kMissed].pUser = std::make_unique<CScheduledCase>(root / "missed");
    cases[kUnplugged].pUser = std::make_unique<CScheduledCase>(root / "unplugged", "unplugged");
    cases[kHandOver].pUser = std::make_unique<CScheduledCase>(root / "handover");
    cases[kHandOver].pUser->Profile().WriteProfileInt("SET", "RECOTYPE", 1);
    cases[kDaily].pUser = std::make_unique<CScheduledCase>(root / "daily");

    SCase& full = cases[kFullDisk];
    full.pUser = std::make_unique<CScheduledCase>(root / "fulldisk");
    pDisk = std::make_unique<CSmallDisk>(kSmallDiskBytes);
    if (!pDisk->IsMounted()) {
        full.strProblem = "no small disk to fill (" + pDisk->Problem() + ")";
    } else {
        full.pUser->SetRecordFolder(pDisk->File("RadioRecord"));
        // WAV at 44.1 kHz: the header's sizes can be checked against the file.
        full.pUser->Profile().WriteProfileInt("SET", "RECOTYPE", 1);
        full.pUser->Profile().WriteProfileInt("SET", "QUALITY", 2);
    }

    SCase& window = cases[kWindow];
    window.pUser = std::make_unique<CScheduledCase>(root / "window");
    window.bWindow = true;
    StartWindowCopy(window);
}

// The copy a user left open: Qt's offscreen platform counts as a display.
void SWorld::StartWindowCopy(SCase& window) {
    const CScheduledCase& user = *window.pUser;
    pWindow = std::make_unique<CChildProgram>(
        std::vector<std::string>{KESTREL_PROGRAM}, user.Environment({"QT_QPA_PLATFORM=offscreen"}),
        user.Folder().string(), (user.Folder() / "window.log").string());
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline && pWindow->IsRunning()) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(user.RuntimeDir(), error)) {
            if (entry.is_socket(error)) {
                return;
            }
        }
        std::this_thread::sleep_for(50ms);
    }
    window.strProblem = "the window copy did not come up: " + pWindow->Log();
}

void SWorld::AddTasks() {
    const std::time_t a = firstMinute;
    auto add = [this](ECase eCase, std::time_t begin, std::time_t end, std::time_t job) {
        SCase& entry = cases[eCase];
        if (entry.strProblem.empty()) {
            entry.tasks.push_back({pData->AddTask(begin, end, kChannel), begin, end, job});
        }
    };
    add(kNoDisplay, a, a + 60, a);
    add(kMissingDisplayCase, a, a + 60, a);
    // Its job runs after its end: the machine was off, say.
    add(kMissed, a - 180, a - 120, a);
    add(kUnplugged, a, a + 60, a);
    add(kFullDisk, a, a + 60, a);
    // The second task's job fires while the first records.
    add(kHandOver, a, a + 120, a);
    add(kHandOver, a + 60, a + 120, a + 60);
    add(kWindow, a, a + 60, a);
    // A daily programme at a + 60 for a minute, recorded from a minute
    // early: its row is the padded occurrence, its job runs at a.
    add(kDaily, a, a + 120, a);
    if (SCase& daily = cases[kDaily]; !daily.tasks.empty()) {
        if (const CStatus status = CTaskRules(pData->Driver()).Record(DailyRule(daily.tasks[0]));
            !status) {
            daily.strProblem = "the rule cannot be stored: " + status.Message();
        }
    }
}

STaskRule SWorld::DailyRule(const STask& task) {
    STaskRule rule;
    rule.nTask = task.nId;
    rule.eRepeat = STaskRule::ERepeat::Daily;
    rule.first = task.begin + 60;
    rule.nLength = 60;
    rule.nPadBefore = 1;
    return rule;
}

// at copies the submitter's environment into the job: each case's
// variables are this process's while its jobs are submitted.
void SWorld::Submit() {
    for (auto& [eCase, entry] : cases) {
        CScopedEnvironment scope;
        entry.pUser->Enter(scope, entry.strDisplay);
        for (const STask& task : entry.tasks) {
            if (std::optional<std::string> strError = entry.pUser->Submit(
                    scheduler, KESTREL_PROGRAM, pData->Id(), task.nId, task.job)) {
                entry.strProblem = *strError;
            }
        }
    }
}

void SWorld::WatchUntilSettled() {
    std::time_t lastEnd = 0;
    for (const auto& [eCase, entry] : cases) {
        lastEnd = std::max(lastEnd, entry.LastEnd());
    }
    const std::time_t deadline = lastEnd + kGoneAfter + 5;
    std::time_t lastCheck = 0;
    for (std::time_t now = std::time(nullptr); now < deadline; now = std::time(nullptr)) {
        watch.Look();
        // The data source is asked once a second, after every job has run.
        if (now != lastCheck && now >= lastEnd) {
            lastCheck = now;
            if (IsSettled(now)) {
                break;
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    watch.Look();
}

// Every task has its outcome and no program of a case runs but the window.
bool SWorld::IsSettled(std::time_t now) {
    for (const auto& [eCase, entry] : cases) {
        if (!entry.strProblem.empty()) {
            continue;
        }
        if (now < entry.LastEnd()) {
            return false;
        }
        for (const STask& task : entry.tasks) {
            if (!pData->Outcome(task.nId)) {
                return false;
            }
        }
        for (pid_t pid : watch.Live(entry.pUser->RuntimeDir())) {
            if (!pWindow || pid != pWindow->Pid()) {
                return false;
            }
        }
    }
    return true;
}

// Asked to stop as a session's end asks it.
void SWorld::StopWindowCopy() {
    if (!pWindow) {
        return;
    }
    pWindow->Signal(SIGTERM);
    windowStatus = pWindow->Wait(10s);
    if (!windowStatus) {
        pWindow->Signal(SIGKILL);
        pWindow->Wait(10s);
    }
    strWindowLog = pWindow->Log();
}

// Nothing of the suite stays: its programs, its jobs, its disk, a daemon it
// started.
void SWorld::Clean() {
    watch.Look();
    for (auto& [eCase, entry] : cases) {
        if (!entry.pUser) {
            continue;
        }
        watch.KillLive(entry.pUser->RuntimeDir(), pWindow ? pWindow->Pid() : 0);
        for (const STask& task : entry.tasks) {
            scheduler.Remove(WorkItemName(task.nId), pData->Id());
        }
    }
    pWindow.reset();
    pDisk.reset();
    pData.reset();
    if (startedDaemon > 0 && scheduler.DaemonPid() == startedDaemon) {
        ::kill(startedDaemon, SIGTERM);
    }
}

class ScheduledRecordingTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pWorld = new SWorld;
        s_pWorld->Run();
    }
    static void TearDownTestSuite() {
        s_pWorld->Clean();
        delete s_pWorld;
        s_pWorld = nullptr;
    }

    void SetUp() override {
        if (!World().strSkip.empty()) {
            GTEST_SKIP() << World().strSkip;
        }
        ASSERT_EQ(World().strProblem, "");
    }

    static SWorld& World() { return *s_pWorld; }
    static CScriptedDataSource& Data() { return *World().pData; }

    // The case, when it ran.
    static SCase* Case(ECase eCase) {
        SCase& entry = World().cases.at(eCase);
        return entry.strProblem.empty() ? &entry : nullptr;
    }

    // What the case's programs wrote, for the message of a failed check.
    static std::string Logs(const SCase& entry) {
        std::string strLogs;
        for (const CProcessWatch::SSeen& seen : World().watch.Seen(entry.pUser->RuntimeDir())) {
            strLogs += "\n--- " + seen.strArguments + " (pid " + std::to_string(seen.pid) +
                       ", seen " + LocalTime(std::chrono::system_clock::to_time_t(seen.first)) +
                       " to " + LocalTime(std::chrono::system_clock::to_time_t(seen.last)) + ")\n" +
                       seen.strLog;
        }
        if (entry.bWindow) {
            strLogs += "\n--- window copy\n" + World().strWindowLog;
        }
        return strLogs;
    }

    // No program of the case runs any more, and each was gone within the
    // bound after end (the window copy aside).
    static void ExpectProcessesGone(const SCase& entry, std::time_t end) {
        const pid_t window = World().pWindow ? World().pWindow->Pid() : 0;
        for (const CProcessWatch::SSeen& seen : World().watch.Seen(entry.pUser->RuntimeDir())) {
            if (seen.pid == window) {
                continue;
            }
            EXPECT_FALSE(seen.bLive) << seen.strArguments << " still runs" << Logs(entry);
            EXPECT_LE(std::chrono::system_clock::to_time_t(seen.last), end + kGoneAfter)
                << seen.strArguments << " ran on after " << LocalTime(end) << Logs(entry);
        }
    }

    // The program the task's job started was seen running: the checks of
    // its end are not made on nothing.
    static void ExpectProgramSeen(const SCase& entry, const STask& task) {
        const std::string strEnd = " " + std::to_string(task.nId);
        bool bSeen = false;
        for (const CProcessWatch::SSeen& seen : World().watch.Seen(entry.pUser->RuntimeDir())) {
            bSeen = bSeen || seen.strArguments.ends_with(strEnd);
        }
        EXPECT_TRUE(bSeen) << "no program for task " << task.nId << " was seen" << Logs(entry);
    }

    // The task's job has run and gone, and the program left no other.
    static void ExpectJobsGone(const SCase& entry) {
        for (const STask& task : entry.tasks) {
            std::vector<int> ids;
            ASSERT_TRUE(World().scheduler.FindJobs(WorkItemName(task.nId), Data().Id(), ids));
            EXPECT_TRUE(ids.empty()) << WorkItemName(task.nId) << " is still queued";
        }
    }

    static std::vector<SFileRow> RowsIn(const fs::path& folder) {
        std::vector<SFileRow> rows;
        for (SFileRow& row : Data().FileRows()) {
            if (fs::path(row.strFileName).parent_path() == folder) {
                rows.push_back(std::move(row));
            }
        }
        return rows;
    }

    // The task's outcome names a recording in the case's record folder,
    // named by its start, whose catalogue row and audio agree with it.
    // Returns the seconds the row holds (-1 when a check failed).
    static std::int64_t ExpectRecording(const SCase& entry, const STask& task,
                                        STaskOutcome::EKind eKind) {
        const std::optional<STaskOutcome> outcome = Data().Outcome(task.nId);
        EXPECT_TRUE(outcome) << "no outcome for task " << task.nId << Logs(entry);
        if (!outcome) {
            return -1;
        }
        EXPECT_STREQ(STaskOutcome::KindName(outcome->eKind), STaskOutcome::KindName(eKind))
            << outcome->strReason << Logs(entry);
        const fs::path file = outcome->strFile;
        const std::optional<std::time_t> start = StartOfRecording(file);
        EXPECT_TRUE(start && fs::is_regular_file(file)) << "'" << file << "'" << Logs(entry);
        if (!start || !fs::is_regular_file(file)) {
            return -1;
        }
        EXPECT_EQ(file.parent_path(), entry.pUser->RecordFolder());
        EXPECT_GE(*start, task.job);
        EXPECT_LE(*start, task.job + kStartSlack) << Logs(entry);

        std::vector<SFileRow> rows;
        for (const SFileRow& row : RowsIn(file.parent_path())) {
            if (row.strFileName == file.string()) {
                rows.push_back(row);
            }
        }
        EXPECT_EQ(rows.size(), 1u) << file;
        if (rows.size() != 1) {
            return -1;
        }
        EXPECT_EQ(rows[0].strBeginTime, CFileListSet::FormatBeginTime(*start));
        EXPECT_EQ(rows[0].strChannel, "FM 80.00MHz");
        const std::int64_t nSeconds = DurationSeconds(rows[0].strDuration);
        EXPECT_GT(nSeconds, 0) << rows[0].strDuration;
        EXPECT_NEAR(static_cast<double>(outcome->nSeconds), static_cast<double>(nSeconds), 1.0);
        const SDiscovered discovered = Discover(file.string());
        EXPECT_TRUE(discovered.bOk) << file;
        EXPECT_NEAR(discovered.dDuration, static_cast<double>(nSeconds), 2.0) << file;
        if (eKind == STaskOutcome::EKind::Recorded) {
            EXPECT_NEAR(static_cast<double>(nSeconds), static_cast<double>(task.end - *start), 2.0);
        }
        return nSeconds;
    }

    // A task that recorded nothing: its outcome and reason, no file, no row.
    static void ExpectNoRecording(const SCase& entry, const STask& task, STaskOutcome::EKind eKind,
                                  const char* pReasonKey) {
        const std::optional<STaskOutcome> outcome = Data().Outcome(task.nId);
        ASSERT_TRUE(outcome) << "no outcome for task " << task.nId << Logs(entry);
        EXPECT_STREQ(STaskOutcome::KindName(outcome->eKind), STaskOutcome::KindName(eKind))
            << outcome->strReason;
        EXPECT_EQ(outcome->strReason, Message(pReasonKey));
        EXPECT_EQ(outcome->strFile, "");
        EXPECT_TRUE(entry.pUser->Recordings().empty());
        EXPECT_TRUE(RowsIn(entry.pUser->RecordFolder()).empty());
    }

    // A whole task recorded by the job's own program.
    static void ExpectRecordedAlone(ECase eCase) {
        const SCase* pCase = Case(eCase);
        ASSERT_TRUE(pCase) << World().cases.at(eCase).strProblem;
        ASSERT_EQ(pCase->tasks.size(), 1u);
        const STask& task = pCase->tasks[0];
        ExpectRecording(*pCase, task, STaskOutcome::EKind::Recorded);
        EXPECT_EQ(pCase->pUser->Recordings().size(), 1u) << Logs(*pCase);
        EXPECT_EQ(RowsIn(pCase->pUser->RecordFolder()).size(), 1u);
        ExpectProgramSeen(*pCase, task);
        ExpectProcessesGone(*pCase, task.end);
        ExpectJobsGone(*pCase);
    }

    static SWorld* s_pWorld;
};

SWorld* ScheduledRecordingTest::s_pWorld = nullptr;

// The program the job started records the occurrence and, before that,
// moves the row on to tomorrow's and registers its job with atd itself.
TEST_F(ScheduledRecordingTest, ADailyTaskRecordsAndRegistersItsNextOccurrence) {
    const SCase* pCase = Case(kDaily);
    ASSERT_TRUE(pCase) << World().cases.at(kDaily).strProblem;
    const STask& task = pCase->tasks[0];
    ExpectRecording(*pCase, task, STaskOutcome::EKind::Recorded);
    ExpectProcessesGone(*pCase, task.end);

    const std::optional<CRecurrence::SSpan> next = CRecurrence(SWorld::DailyRule(task)).At(1);
    ASSERT_TRUE(next);
    CTaskSet tasks(Data().Driver());
    ASSERT_TRUE(tasks.Open());
    std::time_t end = 0;
    ASSERT_TRUE(tasks.GetEndTime(task.nId, end));
    EXPECT_EQ(tasks.m_BeginTime, next->start) << Logs(*pCase);
    EXPECT_EQ(end, next->finish);
    std::vector<int> ids;
    ASSERT_TRUE(World().scheduler.FindJobs(WorkItemName(task.nId), Data().Id(), ids));
    EXPECT_EQ(ids.size(), 1u) << "tomorrow's job" << Logs(*pCase);
}

TEST_F(ScheduledRecordingTest, TaskFiredWithNoDisplayIsRecordedWithoutAWindow) {
    ExpectRecordedAlone(kNoDisplay);
}

TEST_F(ScheduledRecordingTest, TaskFiredWithADisplayThatCannotBeOpenedIsRecorded) {
    ExpectRecordedAlone(kMissingDisplayCase);
}

TEST_F(ScheduledRecordingTest, JobRunAfterTheTasksEndIsMissedAndRecordsNothing) {
    const SCase* pCase = Case(kMissed);
    ASSERT_TRUE(pCase) << World().cases.at(kMissed).strProblem;
    const STask& task = pCase->tasks[0];
    ExpectNoRecording(*pCase, task, STaskOutcome::EKind::Missed, "MESSAGE_41");
    ExpectProcessesGone(*pCase, task.job + kStartSlack);
    ExpectJobsGone(*pCase);
}

TEST_F(ScheduledRecordingTest, TaskWithoutTheReceiverFailsAndLeavesNoProcess) {
    const SCase* pCase = Case(kUnplugged);
    ASSERT_TRUE(pCase) << World().cases.at(kUnplugged).strProblem;
    const STask& task = pCase->tasks[0];
    ExpectNoRecording(*pCase, task, STaskOutcome::EKind::Failed, "MESSAGE_40");
    ExpectProcessesGone(*pCase, task.job + kStartSlack);
    ExpectJobsGone(*pCase);
}

TEST_F(ScheduledRecordingTest, FullDiskEndsTheRecordingWithAWholeFileAndItsTrueLength) {
    const SCase* pCase = Case(kFullDisk);
    if (!pCase) {
        GTEST_SKIP() << World().cases.at(kFullDisk).strProblem;
    }
    const STask& task = pCase->tasks[0];
    const std::optional<STaskOutcome> outcome = Data().Outcome(task.nId);
    ASSERT_TRUE(outcome) << Logs(*pCase);
    EXPECT_NE(outcome->strReason.find(Message("MESSAGE_14")), std::string::npos)
        << outcome->strReason;
    const std::int64_t nSeconds = ExpectRecording(*pCase, task, STaskOutcome::EKind::Partial);

    const SWavHeader header = ReadWavHeader(outcome->strFile);
    ASSERT_TRUE(header.bValid) << outcome->strFile;
    EXPECT_TRUE(header.Whole());
    ASSERT_GT(header.nByteRate, 0);
    EXPECT_NEAR(static_cast<double>(nSeconds),
                static_cast<double>(header.nDataBytes) / header.nByteRate, 1.0);
    EXPECT_LT(nSeconds, task.end - task.begin);
    EXPECT_EQ(pCase->pUser->Recordings().size(), 1u);
    ExpectProcessesGone(*pCase, task.end);
    ExpectJobsGone(*pCase);
}

TEST_F(ScheduledRecordingTest, TaskFiredDuringARecordingIsHandedToTheRunningProgram) {
    const SCase* pCase = Case(kHandOver);
    ASSERT_TRUE(pCase) << World().cases.at(kHandOver).strProblem;
    ASSERT_EQ(pCase->tasks.size(), 2u);
    const STask& first = pCase->tasks[0];
    const STask& second = pCase->tasks[1];

    const std::int64_t nFirst = ExpectRecording(*pCase, first, STaskOutcome::EKind::Partial);
    EXPECT_NE(
        Data().Outcome(first.nId).value_or(STaskOutcome{}).strReason.find(Message("MESSAGE_44")),
        std::string::npos);
    EXPECT_LT(nFirst, first.end - first.begin);
    ExpectRecording(*pCase, second, STaskOutcome::EKind::Recorded);
    EXPECT_EQ(pCase->pUser->Recordings().size(), 2u) << Logs(*pCase);
    EXPECT_EQ(RowsIn(pCase->pUser->RecordFolder()).size(), 2u);
    ExpectProgramSeen(*pCase, first);
    ExpectProcessesGone(*pCase, second.end);
    ExpectJobsGone(*pCase);
}

TEST_F(ScheduledRecordingTest, TaskFiredWhileTheWindowIsOpenIsRecordedByTheWindow) {
    const SCase* pCase = Case(kWindow);
    ASSERT_TRUE(pCase) << World().cases.at(kWindow).strProblem;
    const STask& task = pCase->tasks[0];
    ExpectRecording(*pCase, task, STaskOutcome::EKind::Recorded);
    EXPECT_EQ(pCase->pUser->Recordings().size(), 1u) << Logs(*pCase);
    ExpectProcessesGone(*pCase, task.end);
    ExpectJobsGone(*pCase);
}

// The session's end asks with SIGTERM; the window copy's recording and
// settings must not be cut off.
TEST_F(ScheduledRecordingTest, WindowCopyEndsCleanlyWhenAskedToStop) {
    const SCase* pCase = Case(kWindow);
    ASSERT_TRUE(pCase) << World().cases.at(kWindow).strProblem;
    ASSERT_TRUE(World().windowStatus)
        << "the window copy did not end within 10 s of SIGTERM" << Logs(*pCase);
    const int nStatus = *World().windowStatus;
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0)
        << DescribeStatus(nStatus) << Logs(*pCase);
}

// A run with no screen that is asked to stop (the machine shuts down) keeps
// what it recorded: a whole file, its row, a partial outcome, and the exit
// status of a recording.
TEST_F(ScheduledRecordingTest, HeadlessRunAskedToStopKeepsItsRecordingAsPartial) {
    CScheduledCase user(World().temp.Path() / "stopped");
    user.Profile().WriteProfileInt("SET", "RECOTYPE", 1);
    const std::time_t minute = std::time(nullptr) / 60 * 60;
    const int nTask = Data().AddTask(minute, minute + 180, kChannel);
    CChildProgram run({KESTREL_PROGRAM, CDataSourceId::Switch(Data().Id()), std::to_string(nTask)},
                      user.Environment(), user.Folder().string(),
                      (user.Folder() / "run.log").string());
    // Stopped once audio is on disk.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline && run.IsRunning()) {
        const std::vector<fs::path> files = user.Recordings();
        std::error_code error;
        if (!files.empty() && fs::file_size(files[0], error) > 44 * 1024) {
            break;
        }
        std::this_thread::sleep_for(50ms);
    }
    run.Signal(SIGTERM);
    const std::optional<int> status = run.Wait(10s);
    ASSERT_TRUE(status) << "still running 10 s after SIGTERM\n" << run.Log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << DescribeStatus(*status) << "\n"
                                                                 << run.Log();

    const std::optional<STaskOutcome> outcome = Data().Outcome(nTask);
    ASSERT_TRUE(outcome) << run.Log();
    EXPECT_STREQ(STaskOutcome::KindName(outcome->eKind), "partial") << outcome->strReason;
    EXPECT_NE(outcome->strReason.find(Message("MESSAGE_45")), std::string::npos)
        << outcome->strReason;
    const SWavHeader header = ReadWavHeader(outcome->strFile);
    ASSERT_TRUE(header.bValid) << outcome->strFile;
    EXPECT_TRUE(header.Whole());
    EXPECT_EQ(RowsIn(user.RecordFolder()).size(), 1u);
}

// A headless run whose data source cannot be reached: it must end on its own
// with a status and an outcome line, whatever message boxes it meets.
class UnreachableDataSourceTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_temp.Path() / "data");
        // A database in a folder under a plain file: no one can make it.
        std::ofstream(m_temp.File("plain")) << "x";
        Write("nofolder.ini", "[KestrelRadio]\nDriver=SQLite3\nDatabase=" + m_temp.File("plain") +
                                  "/Kestrel/KestrelRadio.db\nTimeout=5000\n");
        Write("nodriver.ini", "[KestrelRadio]\nDriver=" + m_temp.File("missing.so") +
                                  "\nDatabase=" + m_temp.File("KestrelRadio.db") + "\n");
    }

    void Write(const std::string& strName, const std::string& strText) {
        std::ofstream(m_temp.File(strName)) << strText;
    }

    // Started as its job starts it (with the data source's id), or by hand.
    SChildResult RunTask(const std::string& strIni, bool bAsJob) {
        SChildCommand run;
        run.argv = {KESTREL_PROGRAM, "7"};
        if (bAsJob) {
            run.argv.push_back(CDataSourceId::Switch(CDataSourceId::NewId()));
        }
        run.environment = m_user.Environment({"ODBCINI=" + m_temp.File(strIni)});
        run.strWorkingDirectory = m_user.Folder().string();
        run.timeout = 60s;
        return RunChildProcess(run);
    }

    CTempDir m_temp;
    CScheduledCase m_user{m_temp.Path() / "user"};
};

TEST_F(UnreachableDataSourceTest, HeadlessRunEndsWithAStatusAndAnOutcomeLine) {
    for (const char* pIni : {"nofolder.ini", "nodriver.ini"}) {
        for (bool bAsJob : {true, false}) {
            SCOPED_TRACE(std::string(pIni) + (bAsJob ? " as a job" : " by hand"));
            const SChildResult result = RunTask(pIni, bAsJob);
            ASSERT_NE(result.nError, ETIMEDOUT) << "still running after a minute:\n"
                                                << result.strErr;
            EXPECT_EQ(result.nExitStatus, 1) << result.strErr;
            EXPECT_NE(result.strErr.find("kestrel: scheduled task 7 failed ("), std::string::npos)
                << result.strErr;
        }
    }
}

// A job's run finds no row because it found no data source: the user must
// be told that, not that the task left the schedule.
TEST_F(UnreachableDataSourceTest, OutcomeLineNamesTheDataSourceAsTheReason) {
    for (const char* pIni : {"nofolder.ini", "nodriver.ini"}) {
        for (bool bAsJob : {true, false}) {
            SCOPED_TRACE(std::string(pIni) + (bAsJob ? " as a job" : " by hand"));
            const SChildResult result = RunTask(pIni, bAsJob);
            EXPECT_NE(result.strErr.find("kestrel: scheduled task 7 failed (" +
                                         Message("MESSAGE_5") + ")"),
                      std::string::npos)
                << result.strErr;
        }
    }
}

}  // namespace
