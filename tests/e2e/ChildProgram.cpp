#include "tests/e2e/ChildProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (const std::string& text : strings) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

CChildProgram::CChildProgram(const std::vector<std::string>& argv,
                             const std::vector<std::string>& environment,
                             const std::string& strFolder, const std::string& strLog)
    : m_strLog(strLog) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, strFolder.c_str());
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> env = Pointers(environment);
    const int nError = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        m_pid = -1;
        throw std::runtime_error(argv[0] + ": " + std::strerror(nError));
    }
}

CChildProgram::~CChildProgram() {
    if (IsRunning()) {
        Signal(SIGKILL);
        Wait(std::chrono::seconds(10));
    }
}

bool CChildProgram::IsRunning() {
    if (m_pid <= 0 || m_status) {
        return false;
    }
    int nStatus = 0;
    if (::waitpid(m_pid, &nStatus, WNOHANG) == m_pid) {
        m_status = nStatus;
        return false;
    }
    return true;
}

void CChildProgram::Signal(int nSignal) {
    if (IsRunning()) {
        ::kill(m_pid, nSignal);
    }
}

std::optional<int> CChildProgram::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return m_status;
}

std::string CChildProgram::Log() const {
    std::ifstream file(m_strLog);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string DescribeStatus(int nStatus) {
    if (WIFEXITED(nStatus)) {
        return "exited with " + std::to_string(WEXITSTATUS(nStatus));
    }
    if (WIFSIGNALED(nStatus)) {
        return "killed by signal " + std::to_string(WTERMSIG(nStatus)) + " (" +
               strsignal(WTERMSIG(nStatus)) + ")";
    }
    return "wait status " + std::to_string(nStatus);
}
