// The at back-end against stand-in at tools: what it hands to at, and how it
// reads what at says. The real daemon is driven by the schedule bridge's
// system suites.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/scheduler/AtScheduler.h"
#include "platform/scheduler/ChildProcess.h"
#include "tests/platform/scheduler/ProbeRuns.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

void WriteTool(const fs::path& path, const std::string& body) {
    WriteFile(path, "#!/bin/sh\nhere=$(dirname \"$0\")\n" + body);
    fs::permissions(path, fs::perms::owner_all);
}

std::string Me() {
    return getpwuid(geteuid())->pw_name;
}

class AtSchedulerTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(Tools());
        WriteTool(Tools() / "at",
                  "if [ \"$1\" = -c ]; then\n"
                  "  [ -f \"$here/job$2\" ] && exec cat \"$here/job$2\"\n"
                  "  echo \"Cannot find jobid $2\" >&2; exit 1\n"
                  "fi\n"
                  "if [ -f \"$here/refuse\" ]; then cat \"$here/refuse\" >&2; exit 1; fi\n"
                  "printf '%s\\n' \"$@\" > \"$here/submitted.args\"\n"
                  "cat > \"$here/submitted.sh\"\n"
                  "echo 'job 7 at Tue May  1 14:03:00 2007' >&2\n");
        WriteTool(Tools() / "atq", "cat \"$here/atq.txt\" 2>/dev/null; exit 0\n");
        WriteTool(Tools() / "atrm", "echo \"$@\" >> \"$here/removed.txt\"\n");
        m_commands.strAt = (Tools() / "at").string();
        m_commands.strAtq = (Tools() / "atq").string();
        m_commands.strAtrm = (Tools() / "atrm").string();
    }

    fs::path Tools() const { return m_temp.Path() / "tools"; }

    SWorkItem Item(const std::string& strName) const {
        SWorkItem item;
        item.strName = strName;
        item.strApplication = "/usr/bin/kestrel";
        item.arguments = {"12"};
        item.begin = std::time(nullptr) + 3600;
        return item;
    }

    CTempDir m_temp;
    SAtCommands m_commands;
};

}  // namespace

TEST_F(AtSchedulerTest, JobScriptStartsTheProgramAsItStandsWithoutLettingThePathsRunAsCode) {
    fs::path bin = m_temp.Path() / (std::string("bin ") + HostileName());
    fs::path work = m_temp.Path() / HostileName();
    fs::create_directories(bin);
    fs::create_directories(work);
    fs::path probe = bin / "probe; touch pwned";
    fs::copy_file(KESTREL_SCHEDULER_PROBE, probe);

    SWorkItem item = Item("KestrelRadio_Record_42");
    item.strApplication = probe.string();
    item.arguments = {"42"};
    item.strWorkingDirectory = work.string();
    item.strComment = "KestrelRadio Record\nrm -rf ~";
    item.environment = {{"DISPLAY", ":7 'x' $HOME"}, {"BAD NAME", "ignored"}};
    std::tm local{};
    localtime_r(&item.begin, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y%m%d%H%M", &local);

    CAtScheduler scheduler(m_commands);
    std::string strError;
    ASSERT_EQ(scheduler.Submit(item, strError), 0) << strError;
    EXPECT_EQ(ReadFile(Tools() / "submitted.args"), std::string("-M\n-t\n") + stamp + "\n");

    // Run the job as atd would, from somewhere else.
    SChildCommand job;
    job.argv = {"/bin/sh", (Tools() / "submitted.sh").string()};
    job.environment = {"PATH=/usr/bin:/bin"};
    job.strWorkingDirectory = m_temp.Path().string();
    ASSERT_TRUE(RunChildProcess(job).Succeeded());

    std::vector<SProbeRun> runs = ReadProbeRuns(work);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].arguments, std::vector<std::string>{"42"});
    EXPECT_EQ(runs[0].strCwd, work.string());
    EXPECT_EQ(runs[0].strDisplay, ":7 'x' $HOME");
    for (const fs::path& dir : {m_temp.Path(), work, bin}) {
        EXPECT_FALSE(fs::exists(dir / "pwned")) << dir;
    }
    EXPECT_TRUE(ReadFile(Tools() / "submitted.sh")
                    .starts_with(CAtScheduler::MarkerLine("KestrelRadio_Record_42") + "\n"));
}

TEST_F(AtSchedulerTest, OwnerLineFollowsTheMarkerAndJobsOfOtherOwnersNeverMatch) {
    const std::string strName = "KestrelRadio_Record_1";
    CAtScheduler scheduler(m_commands);
    SWorkItem item = Item(strName);
    item.strOwner = "source-a";
    std::string strError;
    ASSERT_EQ(scheduler.Submit(item, strError), 0) << strError;
    EXPECT_TRUE(ReadFile(Tools() / "submitted.sh")
                    .starts_with(CAtScheduler::MarkerLine(strName) + "\n" +
                                 CAtScheduler::OwnerLine("source-a") + "\n"));
    item.strOwner = "a\nexec rm";
    EXPECT_EQ(scheduler.Submit(item, strError), EINVAL);

    const std::string strJob = "\t2031-05-01 10:00 a " + Me() + "\n";
    WriteFile(Tools() / "atq.txt", "3" + strJob + "4" + strJob);
    WriteFile(Tools() / "job3", CAtScheduler::MarkerLine(strName) + "\n" +
                                    CAtScheduler::OwnerLine("source-a") + "\n");
    WriteFile(Tools() / "job4", CAtScheduler::MarkerLine(strName) + "\n" +
                                    CAtScheduler::OwnerLine("source-b") + "\n" +
                                    CAtScheduler::OwnerLine("source-a") + "\n");
    std::vector<int> ids;
    ASSERT_TRUE(scheduler.FindJobs(strName, "source-a", ids));
    EXPECT_EQ(ids, std::vector<int>{3});
    ASSERT_TRUE(scheduler.FindJobs(strName, "", ids));
    EXPECT_TRUE(ids.empty()) << "no owner asked for is no owner's job";
    EXPECT_TRUE(scheduler.Remove(strName, "source-b"));
    EXPECT_EQ(ReadFile(Tools() / "removed.txt"), "4\n");

    fs::remove(Tools() / "submitted.sh");
    item.strOwner = "source-c";
    EXPECT_EQ(scheduler.Submit(item, strError), 0) << "another data source's task 1";
    item.strOwner = "source-a";
    EXPECT_EQ(scheduler.Submit(item, strError), EEXIST);

    // An older Kestrel's job has no owner line: it goes by its name alone.
    WriteFile(Tools() / "job4", CAtScheduler::MarkerLine(strName) + "\nexec x\n");
    ASSERT_TRUE(scheduler.FindJobs(strName, "source-c", ids));
    EXPECT_EQ(ids, std::vector<int>{4});
}

// at's rules, for a user other than root: at.allow, when there, must list
// the user; otherwise at.deny must not; with neither only root may.
TEST_F(AtSchedulerTest, AccessRulesOfAtDecideBeforeTheDaemonDoes) {
    const passwd* pNobody = getpwnam("nobody");
    ASSERT_NE(pNobody, nullptr);
    const std::string strNobody = pNobody->pw_name;
    m_commands.strAllowFile = m_temp.File("at.allow");
    m_commands.strDenyFile = m_temp.File("at.deny");
    m_commands.strPidFile = m_temp.File("atd.pid");  // no daemon
    m_commands.nUser = pNobody->pw_uid;
    const auto state = [this](std::string& strReason) {
        return CAtScheduler(m_commands).State(strReason);
    };
    std::string strReason;

    EXPECT_EQ(state(strReason), ESchedulerState::Denied);
    EXPECT_NE(strReason.find("only root"), std::string::npos) << strReason;

    WriteFile(m_temp.Path() / "at.deny", "alice\n" + strNobody + "x\n");
    EXPECT_EQ(state(strReason), ESchedulerState::Stopped) << "permitted, but no daemon";
    EXPECT_EQ(strReason, "atd is not running");
    WriteFile(m_temp.Path() / "at.deny", "alice\n" + strNobody + "\n");
    EXPECT_EQ(state(strReason), ESchedulerState::Denied);
    EXPECT_EQ(strReason, strNobody + " is listed in " + m_commands.strDenyFile);

    WriteFile(m_temp.Path() / "at.allow", "alice\n");
    EXPECT_EQ(state(strReason), ESchedulerState::Denied);
    EXPECT_EQ(strReason, strNobody + " is not listed in " + m_commands.strAllowFile);
    WriteFile(m_temp.Path() / "at.allow", "alice\n" + strNobody + "\n");
    EXPECT_EQ(state(strReason), ESchedulerState::Stopped) << "at.allow wins over at.deny";

    std::string strError;
    WriteFile(m_temp.Path() / "at.allow", "");
    EXPECT_EQ(CAtScheduler(m_commands).Submit(Item("KestrelRadio_Record_1"), strError), EACCES);
    EXPECT_FALSE(fs::exists(Tools() / "submitted.sh"));

    m_commands.nUser = 0;
    EXPECT_EQ(state(strReason), ESchedulerState::Stopped) << "root always may";
}

// Only at's group may read the files on Debian: then at itself is asked.
TEST_F(AtSchedulerTest, AccessFilesThatCannotBeReadLeaveTheAnswerToAt) {
    const passwd* pNobody = getpwnam("nobody");
    ASSERT_NE(pNobody, nullptr);
    fs::create_directory(m_temp.Path() / "at.allow");  // cannot be read as a list, even by root
    m_commands.strAllowFile = m_temp.File("at.allow");
    m_commands.strPidFile = m_temp.File("atd.pid");
    m_commands.nUser = pNobody->pw_uid;
    std::string strReason;
    EXPECT_EQ(CAtScheduler(m_commands).State(strReason), ESchedulerState::Stopped);

    WriteTool(Tools() / "atq", "echo 'You do not have permission to use atq.' >&2; exit 1\n");
    EXPECT_EQ(CAtScheduler(m_commands).State(strReason), ESchedulerState::Denied);
    EXPECT_EQ(strReason, "You do not have permission to use atq.");
}

TEST_F(AtSchedulerTest, FindsOnlyThisUsersJobWithTheExactMarker) {
    const std::string strName = "KestrelRadio_Record_1";
    WriteFile(Tools() / "atq.txt", "3\tTue May  1 14:03:00 2007 a " + Me() +
                                       "\n"
                                       "4\tTue May  1 14:03:00 2007 a someone-else\n"
                                       "at: this line is no job\n"
                                       "5\tTue May  1 14:03:00 2007 = " +
                                       Me() +
                                       "\n"
                                       "6\tTue May  1 14:03:00 2007 a " +
                                       Me() + "\n");
    WriteFile(Tools() / "job3", "#!/bin/sh\n" + CAtScheduler::MarkerLine(strName + "0") + "\n");
    WriteFile(Tools() / "job4", CAtScheduler::MarkerLine(strName) + "\n");
    WriteFile(Tools() / "job5", "umask 22\n" + CAtScheduler::MarkerLine(strName) + "\nexec x\n");
    WriteFile(Tools() / "job6", "echo '" + CAtScheduler::MarkerLine(strName) + "'\n");

    CAtScheduler scheduler(m_commands);
    std::vector<int> ids;
    ASSERT_TRUE(scheduler.FindJobs(strName, "", ids));
    EXPECT_EQ(ids, std::vector<int>{5});

    std::string strError;
    EXPECT_EQ(scheduler.Submit(Item(strName), strError), EEXIST);
    EXPECT_FALSE(fs::exists(Tools() / "submitted.sh")) << "the first job stands alone";

    EXPECT_FALSE(scheduler.Remove("KestrelRadio_Record_99", ""));
    EXPECT_FALSE(fs::exists(Tools() / "removed.txt"));
    EXPECT_TRUE(scheduler.Remove(strName, ""));
    EXPECT_EQ(ReadFile(Tools() / "removed.txt"), "5\n");
}

TEST_F(AtSchedulerTest, RefusesWhatAtWouldRunWronglyAndPassesOnAtsOwnRefusal) {
    CAtScheduler scheduler(m_commands);
    std::string strError;

    SWorkItem past = Item("KestrelRadio_Record_1");
    past.begin = std::time(nullptr) - 120;
    EXPECT_EQ(scheduler.Submit(past, strError), EINVAL) << "at would run it at once";

    SWorkItem broken = Item("KestrelRadio_Record_1\nexec rm");
    EXPECT_EQ(scheduler.Submit(broken, strError), EINVAL);
    EXPECT_FALSE(fs::exists(Tools() / "submitted.sh"));

    WriteFile(Tools() / "refuse", "You do not have permission to use at.\n");
    EXPECT_EQ(scheduler.Submit(Item("KestrelRadio_Record_1"), strError), EACCES);
    EXPECT_EQ(strError, "You do not have permission to use at.");
    WriteFile(Tools() / "refuse", "Garbled time\n");
    EXPECT_EQ(scheduler.Submit(Item("KestrelRadio_Record_1"), strError), 1);

    m_commands.strAtq = (m_temp.Path() / "missing").string();
    CAtScheduler withoutAtq(m_commands);
    EXPECT_NE(withoutAtq.Submit(Item("KestrelRadio_Record_1"), strError), 0)
        << "without a job list, a name that exists cannot be ruled out";
    EXPECT_FALSE(withoutAtq.Remove("KestrelRadio_Record_1", ""));
}

TEST(ChildProcessTest, AChildThatStopsReadingOrHangsDoesNotTakeTheCallerDown) {
    SChildCommand deaf;
    deaf.argv = {"/bin/sh", "-c", "echo early; exit 3"};
    deaf.strInput = std::string(4 << 20, 'x');
    SChildResult result = RunChildProcess(deaf);
    EXPECT_EQ(result.nError, 0);
    EXPECT_EQ(result.nExitStatus, 3);
    EXPECT_EQ(result.strOut, "early\n");

    SChildCommand hung;
    hung.argv = {"/bin/sleep", "30"};
    hung.timeout = std::chrono::milliseconds(200);
    EXPECT_EQ(RunChildProcess(hung).nError, ETIMEDOUT);

    SChildCommand missing;
    missing.argv = {"/nonexistent/program"};
    EXPECT_EQ(RunChildProcess(missing).nError, ENOENT);

    // A daemon left behind keeps the output open; the child's own exit ends the run.
    SChildCommand daemon;
    daemon.argv = {"/bin/sh", "-c", "sleep 60 & echo $!"};
    daemon.timeout = std::chrono::seconds(5);
    result = RunChildProcess(daemon);
    EXPECT_TRUE(result.Succeeded()) << result.nError;
    ::kill(std::stoi(result.strOut), SIGTERM);
}
