#include "platform/scheduler/AtScheduler.h"

#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/scheduler/ChildProcess.h"
#include "platform/trace/Trace.h"

#ifndef KESTREL_ATD_PATH
#define KESTREL_ATD_PATH "/usr/sbin/atd"
#endif

namespace {

constexpr const char* kTag = "scheduler";
constexpr std::chrono::milliseconds kDaemonStartWait{3000};
constexpr const char* kOwnerPrefix = "# Kestrel data source: ";
// What at says (untranslated) to a user its access rules keep out.
constexpr const char* kAtRefusal = "You do not have permission to use";

std::string UserName(uid_t nUser) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(nUser, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
        return {};
    }
    return found->pw_name;
}

bool IsShellName(const std::string& strName) {
    if (strName.empty() || std::isdigit(static_cast<unsigned char>(strName[0]))) {
        return false;
    }
    for (char c : strName) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return false;
        }
    }
    return true;
}

// Single quotes keep every byte as it is; a quote itself closes, is escaped
// and reopens. Nothing in a path or argument can reach the shell as code.
std::string ShellQuote(const std::string& strWord) {
    std::string quoted = "'";
    for (char c : strWord) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += '\'';
    return quoted;
}

std::string OneLine(std::string strText) {
    for (char& c : strText) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return strText;
}

bool HasNul(const std::string& strText) {
    return strText.find('\0') != std::string::npos;
}

std::string Trimmed(const std::string& strText) {
    size_t begin = strText.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    size_t end = strText.find_last_not_of(" \t\r\n");
    return strText.substr(begin, end - begin + 1);
}

bool HasLineBreak(const std::string& strText) {
    return strText.find_first_of("\r\n") != std::string::npos || HasNul(strText);
}

const char* Invalid(const SWorkItem& item) {
    if (item.strName.empty() || HasLineBreak(item.strName)) {
        return "the work item's name is empty or has a line break in it";
    }
    if (HasLineBreak(item.strOwner)) {
        return "the work item's owner has a line break in it";
    }
    if (item.strApplication.empty()) {
        return "the work item has no program to start";
    }
    bool bNul =
        HasNul(item.strApplication) || HasNul(item.strWorkingDirectory) || HasNul(item.strComment);
    for (const std::string& argument : item.arguments) {
        bNul = bNul || HasNul(argument);
    }
    for (const auto& [strName, strValue] : item.environment) {
        bNul = bNul || HasNul(strName) || HasNul(strValue);
    }
    return bNul ? "the work item has a NUL character in it" : nullptr;
}

std::string BuildScript(const SWorkItem& item) {
    std::string script = CAtScheduler::MarkerLine(item.strName) + "\n";
    if (!item.strOwner.empty()) {
        script += CAtScheduler::OwnerLine(item.strOwner) + "\n";
    }
    if (!item.strComment.empty()) {
        script += "# " + OneLine(item.strComment) + "\n";
    }
    for (const auto& [strName, strValue] : item.environment) {
        if (IsShellName(strName)) {
            script += strName + "=" + ShellQuote(strValue) + "; export " + strName + "\n";
        }
    }
    if (!item.strWorkingDirectory.empty()) {
        script += "cd -- " + ShellQuote(item.strWorkingDirectory) + " || exit 1\n";
    }
    script += "exec " + ShellQuote(item.strApplication);
    for (const std::string& argument : item.arguments) {
        script += " " + ShellQuote(argument);
    }
    script += "\n";
    return script;
}

// at -t takes the local date and minute as [[CC]YY]MMDDhhmm.
std::string AtTime(std::time_t begin) {
    std::tm local{};
    localtime_r(&begin, &local);
    char stamp[32];
    std::strftime(stamp, sizeof(stamp), "%Y%m%d%H%M", &local);
    return stamp;
}

// "<id>\t<date> <queue> <owner>"; the date's words depend on the locale, so
// only the ends of the line are read.
bool ParseAtqLine(const std::string& strLine, SAtJob& job) {
    size_t nDigits = 0;
    while (nDigits < strLine.size() && std::isdigit(static_cast<unsigned char>(strLine[nDigits]))) {
        ++nDigits;
    }
    if (nDigits == 0 || nDigits > 9) {
        return false;
    }
    std::istringstream words(strLine.substr(nDigits));
    std::vector<std::string> tokens;
    for (std::string word; words >> word;) {
        tokens.push_back(word);
    }
    if (tokens.size() < 2 || tokens[tokens.size() - 2].size() != 1) {
        return false;
    }
    job.nId = std::stoi(strLine.substr(0, nDigits));
    job.cQueue = tokens[tokens.size() - 2][0];
    job.strOwner = tokens.back();
    return true;
}

// The job's script names the item, and its owner on the line after; a job
// without an owner line (an older Kestrel's) goes by its name alone.
bool IsJobOf(const std::string& strScript, const std::string& strName,
             const std::string& strOwner) {
    std::istringstream lines(strScript);
    for (std::string strLine; std::getline(lines, strLine);) {
        if (strLine != CAtScheduler::MarkerLine(strName)) {
            continue;
        }
        if (!std::getline(lines, strLine) || !strLine.starts_with(kOwnerPrefix)) {
            return true;
        }
        return !strOwner.empty() && strLine == CAtScheduler::OwnerLine(strOwner);
    }
    return false;
}

enum class EListing { Missing, Unreadable, Listed, NotListed };

// Whether an access file of at's lists the user, one name a line.
EListing FindUser(const std::string& strPath, const std::string& strUser) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(strPath, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return EListing::Missing;
    }
    std::ifstream file(strPath);
    if (error || !std::filesystem::is_regular_file(status) || !file.is_open()) {
        return EListing::Unreadable;
    }
    for (std::string strLine; std::getline(file, strLine);) {
        if (strLine == strUser) {
            return EListing::Listed;
        }
    }
    return file.bad() ? EListing::Unreadable : EListing::NotListed;
}

// A process that still runs: not a zombie left for its parent to reap.
bool IsLiveDaemon(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string strComm;
    if (!std::getline(comm, strComm) || strComm != "atd") {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string strStat;
    std::getline(stat, strStat);
    size_t close = strStat.rfind(')');
    if (close == std::string::npos || close + 2 >= strStat.size()) {
        return false;
    }
    char cState = strStat[close + 2];
    return cState != 'Z' && cState != 'X';
}

// at copies its own environment into the job; a name the shell cannot take
// (an exported bash function, say) would break the job's script.
std::vector<std::string> AtEnvironment() {
    std::vector<std::string> environment;
    for (std::string& entry : CurrentEnvironment()) {
        if (IsShellName(entry.substr(0, entry.find('=')))) {
            environment.push_back(std::move(entry));
        }
    }
    return environment;
}

// The at tools run in "/", which is always there: at writes a "cd" to its own
// directory into every job.
SChildCommand AtCommand(std::vector<std::string> argv, std::string strInput = {}) {
    SChildCommand command;
    command.argv = std::move(argv);
    command.environment = AtEnvironment();
    command.strWorkingDirectory = "/";
    command.strInput = std::move(strInput);
    return command;
}

SChildCommand DaemonCommand(std::vector<std::string> argv, std::chrono::seconds timeout) {
    SChildCommand command;
    command.argv = std::move(argv);
    command.environment = CurrentEnvironment();
    command.strWorkingDirectory = "/";
    command.timeout = timeout;
    return command;
}

}  // namespace

CAtScheduler::CAtScheduler(SAtCommands commands)
    : m_commands(std::move(commands)), m_strUser(UserName(m_commands.nUser)) {
    if (m_commands.strAtd.empty()) {
        m_commands.strAtd = KESTREL_ATD_PATH;
    }
}

std::string CAtScheduler::MarkerLine(const std::string& strName) {
    return "# Kestrel work item: " + strName;
}

std::string CAtScheduler::OwnerLine(const std::string& strOwner) {
    return kOwnerPrefix + strOwner;
}

// at's own rule: root always may; otherwise at.allow, when it exists, must
// list the user, or else at.deny must not; with neither, nobody else may.
bool CAtScheduler::IsPermitted(std::string& strReason) {
    if (m_commands.nUser == 0) {
        return true;
    }
    if (m_strUser.empty()) {
        strReason = "this user has no name in the user database";
        return false;
    }
    // The file that decides: at.allow when it exists, else at.deny.
    EListing eListing = FindUser(m_commands.strAllowFile, m_strUser);
    const bool bAllowList = eListing != EListing::Missing;
    const std::string& strFile = bAllowList ? m_commands.strAllowFile : m_commands.strDenyFile;
    if (!bAllowList) {
        eListing = FindUser(strFile, m_strUser);
    }
    if (eListing == EListing::Missing) {
        strReason = "neither " + m_commands.strAllowFile + " nor " + strFile +
                    " exists: only root may use at";
        return false;
    }
    if (eListing != EListing::Unreadable) {
        const bool bPermitted = (eListing == EListing::Listed) == bAllowList;
        if (!bPermitted) {
            strReason =
                m_strUser + (bAllowList ? " is not listed in " : " is listed in ") + strFile;
        }
        return bPermitted;
    }
    // Only at's own group may read the files on Debian; atq applies the
    // same rules and says so when they keep the user out.
    SChildResult result = RunChildProcess(AtCommand({m_commands.strAtq}));
    if (result.nExitStatus != 0 && result.strErr.find(kAtRefusal) != std::string::npos) {
        strReason = Trimmed(result.strErr);
        return false;
    }
    return true;
}

ESchedulerState CAtScheduler::State(std::string& strReason) {
    strReason.clear();
    if (!IsPermitted(strReason)) {
        return ESchedulerState::Denied;
    }
    if (!IsRunning()) {
        strReason = "atd is not running";
        return ESchedulerState::Stopped;
    }
    return ESchedulerState::Usable;
}

// The daemon's own pid file tells it apart from the atd processes that run
// single jobs (they carry the same name, and outlive a stopped daemon).
pid_t CAtScheduler::DaemonPid() const {
    std::ifstream file(m_commands.strPidFile);
    long nPid = 0;
    if (!(file >> nPid) || nPid <= 0) {
        return -1;
    }
    return IsLiveDaemon(static_cast<pid_t>(nPid)) ? static_cast<pid_t>(nPid) : -1;
}

bool CAtScheduler::IsRunning() {
    return DaemonPid() > 0;
}

bool CAtScheduler::WaitForDaemon() {
    auto deadline = std::chrono::steady_clock::now() + kDaemonStartWait;
    while (!IsRunning()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

int CAtScheduler::Start() {
    if (IsRunning()) {
        return 0;
    }
    if (::access(m_commands.strServiceManagerMark.c_str(), F_OK) == 0) {
        SChildResult result = RunChildProcess(
            DaemonCommand({m_commands.strSystemctl, "--no-ask-password", "start", "atd.service"},
                          std::chrono::seconds(30)));
        if (WaitForDaemon()) {
            return 0;
        }
        KestrelTrace(kTag, "systemctl start atd.service: %s", Trimmed(result.strErr).c_str());
    }
    // No service manager, or it would not start it: the daemon itself, which
    // puts itself in the background.
    SChildResult result =
        RunChildProcess(DaemonCommand({m_commands.strAtd}, std::chrono::seconds(10)));
    if (result.nError != 0) {
        KestrelTrace(kTag, "%s: %s", m_commands.strAtd.c_str(), std::strerror(result.nError));
        return result.nError;
    }
    if (WaitForDaemon()) {
        return 0;
    }
    KestrelTrace(kTag, "%s exited with %d: %s", m_commands.strAtd.c_str(), result.nExitStatus,
                 Trimmed(result.strErr).c_str());
    return ESRCH;
}

bool CAtScheduler::ListJobs(std::vector<SAtJob>& jobs) {
    jobs.clear();
    SChildResult result = RunChildProcess(AtCommand({m_commands.strAtq}));
    if (!result.Succeeded()) {
        KestrelTrace(kTag, "%s failed (%d/%d): %s", m_commands.strAtq.c_str(), result.nError,
                     result.nExitStatus, Trimmed(result.strErr).c_str());
        return false;
    }
    std::istringstream lines(result.strOut);
    for (std::string strLine; std::getline(lines, strLine);) {
        SAtJob job;
        if (!ParseAtqLine(strLine, job)) {
            if (!Trimmed(strLine).empty()) {
                KestrelTrace(kTag, "atq line not understood: %s", strLine.c_str());
            }
            continue;
        }
        // root sees every user's jobs; only our own are work items of ours.
        if (m_strUser.empty() || job.strOwner == m_strUser) {
            jobs.push_back(job);
        }
    }
    return true;
}

bool CAtScheduler::FindJobs(const std::string& strName, const std::string& strOwner,
                            std::vector<int>& ids) {
    ids.clear();
    std::vector<SAtJob> jobs;
    if (!ListJobs(jobs)) {
        return false;
    }
    for (const SAtJob& job : jobs) {
        SChildResult result =
            RunChildProcess(AtCommand({m_commands.strAt, "-c", std::to_string(job.nId)}));
        // A job may have run and gone since atq listed it.
        if (result.Succeeded() && IsJobOf(result.strOut, strName, strOwner)) {
            ids.push_back(job.nId);
        }
    }
    return true;
}

int CAtScheduler::Submit(const SWorkItem& item, std::string& strError) {
    strError.clear();
    if (const char* why = Invalid(item)) {
        strError = why;
        return EINVAL;
    }
    // at runs a job for a minute already gone at once, not never: that would
    // start the recording at the wrong time.
    if (item.begin / 60 < std::time(nullptr) / 60) {
        strError = "the begin time has passed";
        return EINVAL;
    }
    if (!IsPermitted(strError)) {
        return EACCES;
    }
    std::vector<int> ids;
    if (!FindJobs(item.strName, item.strOwner, ids)) {
        strError = "the scheduler's jobs could not be listed";
        return EIO;
    }
    if (!ids.empty()) {
        strError = "a work item named " + item.strName + " exists";
        return EEXIST;
    }
    SChildResult result = RunChildProcess(
        AtCommand({m_commands.strAt, "-M", "-t", AtTime(item.begin)}, BuildScript(item)));
    if (result.nError != 0) {
        strError = m_commands.strAt + ": " + std::strerror(result.nError);
        return result.nError;
    }
    if (result.nExitStatus != 0) {
        strError = Trimmed(result.strErr);
        if (strError.find(kAtRefusal) != std::string::npos) {
            return EACCES;
        }
        return result.nExitStatus > 0 ? result.nExitStatus : EIO;
    }
    // at reports "job <id> at <date>" among its warnings.
    std::istringstream lines(result.strErr);
    for (std::string strLine; std::getline(lines, strLine);) {
        if (strLine.starts_with("job ")) {
            KestrelTrace(kTag, "%s registered as %s", item.strName.c_str(), strLine.c_str());
        }
    }
    return 0;
}

bool CAtScheduler::Remove(const std::string& strName, const std::string& strOwner) {
    std::vector<int> ids;
    if (!FindJobs(strName, strOwner, ids)) {
        return false;
    }
    bool bRemoved = false;
    for (int nId : ids) {
        SChildResult result = RunChildProcess(AtCommand({m_commands.strAtrm, std::to_string(nId)}));
        if (result.Succeeded()) {
            bRemoved = true;
        } else {
            KestrelTrace(kTag, "atrm %d: %s", nId, Trimmed(result.strErr).c_str());
        }
    }
    return bRemoved;
}
