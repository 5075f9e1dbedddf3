#include "tests/e2e/ProcessWatch.h"

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxLog = 64 * 1024;

std::string ReadAll(const fs::path& path, size_t nMax = kMaxLog) {
    std::ifstream file(path, std::ios::binary);
    std::string text(nMax, '\0');
    file.read(text.data(), static_cast<std::streamsize>(nMax));
    text.resize(static_cast<size_t>(file.gcount()));
    return text;
}

// The NUL-separated entries of /proc/<pid>/environ or cmdline.
std::vector<std::string> Entries(const std::string& strText) {
    std::vector<std::string> entries;
    std::istringstream stream(strText);
    for (std::string entry; std::getline(stream, entry, '\0');) {
        entries.push_back(entry);
    }
    return entries;
}

// The state and parent of a process, from the fields after its name.
struct SStat {
    char cState = 'X';
    pid_t parent = 0;
};

SStat ReadStat(const fs::path& proc) {
    const std::string strStat = ReadAll(proc / "stat", 4096);
    const size_t close = strStat.rfind(')');
    SStat stat;
    if (close == std::string::npos || close + 2 >= strStat.size()) {
        return stat;
    }
    std::istringstream fields(strStat.substr(close + 2));
    fields >> stat.cState >> stat.parent;
    return stat;
}

std::string ExecutableOf(const fs::path& proc) {
    std::error_code error;
    return fs::read_symlink(proc / "exe", error).string();
}

std::string RuntimeDirOf(const fs::path& proc) {
    const std::string strPrefix = "XDG_RUNTIME_DIR=";
    for (const std::string& entry : Entries(ReadAll(proc / "environ", 1 << 20))) {
        if (entry.starts_with(strPrefix)) {
            return entry.substr(strPrefix.size());
        }
    }
    return {};
}

// Standard error when it is a file: an at job's output goes to one in at's
// spool until the job ends.
std::string LogOf(const fs::path& proc) {
    std::error_code error;
    if (!fs::is_regular_file(proc / "fd" / "2", error)) {
        return {};
    }
    return ReadAll(proc / "fd" / "2");
}

}  // namespace

CProcessWatch::CProcessWatch(const std::string& strProgram) {
    std::error_code error;
    const fs::path canonical = fs::canonical(strProgram, error);
    m_strProgram = error ? strProgram : canonical.string();
}

void CProcessWatch::Look() {
    const TimePoint now = std::chrono::system_clock::now();
    for (auto& [pid, seen] : m_seen) {
        seen.bLive = false;
    }
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        const std::string strName = entry.path().filename().string();
        if (strName.empty() || strName.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (ExecutableOf(entry.path()) != m_strProgram) {
            continue;
        }
        // A zombie has ended, only not been reaped; a child of the program
        // that still runs its file is a fork about to run a tool (atq, at).
        const SStat stat = ReadStat(entry.path());
        if (stat.cState == 'Z' || stat.cState == 'X' ||
            ExecutableOf(fs::path("/proc") / std::to_string(stat.parent)) == m_strProgram) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(strName));
        auto [it, bNew] = m_seen.try_emplace(pid);
        SSeen& seen = it->second;
        if (bNew) {
            seen.pid = pid;
            seen.first = now;
        }
        // Read until they are there: a process in the middle of its exec
        // shows no arguments and no environment.
        if (seen.strArguments.empty()) {
            for (const std::string& argument : Entries(ReadAll(entry.path() / "cmdline"))) {
                seen.strArguments += (seen.strArguments.empty() ? "" : " ") + argument;
            }
        }
        if (m_runtimeDirs[pid].empty()) {
            m_runtimeDirs[pid] = RuntimeDirOf(entry.path());
        }
        seen.last = now;
        seen.bLive = true;
        if (std::string strLog = LogOf(entry.path()); !strLog.empty()) {
            seen.strLog = std::move(strLog);
        }
    }
}

std::vector<CProcessWatch::SSeen> CProcessWatch::Seen(const std::string& strRuntimeDir) const {
    std::vector<SSeen> seen;
    for (const auto& [pid, entry] : m_seen) {
        if (m_runtimeDirs.at(pid) == strRuntimeDir) {
            seen.push_back(entry);
        }
    }
    return seen;
}

std::vector<pid_t> CProcessWatch::Live(const std::string& strRuntimeDir) const {
    std::vector<pid_t> live;
    for (const SSeen& seen : Seen(strRuntimeDir)) {
        if (seen.bLive) {
            live.push_back(seen.pid);
        }
    }
    return live;
}

int CProcessWatch::KillLive(const std::string& strRuntimeDir, pid_t spare) {
    int nKilled = 0;
    for (pid_t pid : Live(strRuntimeDir)) {
        if (pid != spare && ::kill(pid, SIGKILL) == 0) {
            ++nKilled;
        }
    }
    return nKilled;
}
