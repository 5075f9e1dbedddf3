#include "tests/system/GuestChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace {

// Polls for the child's end; its exit code, -1 for a signal, or nothing yet.
std::optional<int> Reap(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            return -1;  // not ours to wait for any more
        }
        if (std::chrono::steady_clock::now() >= end) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

CGuestChild::~CGuestChild() {
    Finish();
}

bool CGuestChild::Start(const std::vector<std::string>& argv) {
    if (m_pid > 0 || argv.empty()) {
        return false;
    }
    int inPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0) {
        return false;
    }
    CUniqueFd childIn(inPipe[0]);
    CUniqueFd parentIn(inPipe[1]);
    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return false;
    }
    CUniqueFd childOut(outPipe[1]);
    m_in = std::move(parentIn);
    m_out.Reset(outPipe[0]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childIn.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, childOut.Get(), STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    const int nError = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        m_in.Reset();
        m_out.Reset();
        return false;
    }
    m_pid = pid;
    m_buffered.clear();
    return true;
}

bool CGuestChild::WriteLine(const std::string& strLine) {
    if (!m_in.IsValid()) {
        return false;
    }
    const std::string text = strLine + "\n";
    size_t nDone = 0;
    while (nDone < text.size()) {
        const ssize_t n = ::write(m_in.Get(), text.data() + nDone, text.size() - nDone);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> CGuestChild::ReadLine(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const size_t nl = m_buffered.find('\n'); nl != std::string::npos) {
            std::string line = m_buffered.substr(0, nl);
            m_buffered.erase(0, nl + 1);
            return line;
        }
        if (!m_out.IsValid()) {
            return std::nullopt;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd fd{m_out.Get(), POLLIN, 0};
        const int nReady = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (nReady < 0 && errno == EINTR) {
            continue;
        }
        if (nReady <= 0) {
            return std::nullopt;
        }
        char chunk[256];
        const ssize_t n = ::read(m_out.Get(), chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_out.Reset();
            continue;
        }
        m_buffered.append(chunk, static_cast<size_t>(n));
    }
}

std::optional<std::string> CGuestChild::Ask(const std::string& strLine,
                                            std::chrono::milliseconds timeout) {
    if (!WriteLine(strLine)) {
        return std::nullopt;
    }
    return ReadLine(timeout);
}

int CGuestChild::Finish(std::chrono::milliseconds timeout) {
    if (m_pid <= 0) {
        return -1;
    }
    m_in.Reset();
    std::optional<int> code = Reap(m_pid, timeout);
    if (!code) {
        Kill();
        return -1;
    }
    m_pid = -1;
    m_out.Reset();
    return *code;
}

void CGuestChild::Kill() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    if (!Reap(m_pid, std::chrono::seconds(3))) {
        ::kill(m_pid, SIGKILL);
        Reap(m_pid, std::chrono::seconds(3));
    }
    m_pid = -1;
    m_in.Reset();
    m_out.Reset();
}
