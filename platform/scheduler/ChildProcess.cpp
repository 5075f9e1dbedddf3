#include "platform/scheduler/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix/UniqueFd.h"

extern char** environ;

namespace {

// More than any at command prints; a runaway child cannot fill our memory.
constexpr size_t kMaxCaptured = 1 << 20;

// Parent end first, child end second; both close-on-exec, so that no other
// child started meanwhile inherits them. dup2 in the child clears the flag.
bool MakePipe(CUniqueFd& readEnd, CUniqueFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd.Reset(fds[0]);
    writeEnd.Reset(fds[1]);
    return true;
}

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// A write to a child that has gone raises SIGPIPE, which would end us. The
// signal is held back on this thread while we talk to the child and a pending
// one is swallowed before the old mask returns.
class CSigpipeGuard {
public:
    CSigpipeGuard() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        m_bWasPending = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
    }
    ~CSigpipeGuard() {
        if (!m_bWasPending) {
            timespec zero{};
            while (sigtimedwait(&m_pipe, nullptr, &zero) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    CSigpipeGuard(const CSigpipeGuard&) = delete;
    CSigpipeGuard& operator=(const CSigpipeGuard&) = delete;

private:
    sigset_t m_pipe;
    sigset_t m_old;
    bool m_bWasPending = false;
};

class CSpawnSetup {
public:
    CSpawnSetup() {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attr);
    }
    ~CSpawnSetup() {
        posix_spawnattr_destroy(&m_attr);
        posix_spawn_file_actions_destroy(&m_actions);
    }
    CSpawnSetup(const CSpawnSetup&) = delete;
    CSpawnSetup& operator=(const CSpawnSetup&) = delete;

    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attr;
};

std::vector<char*> CStrings(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& s : strings) {
        pointers.push_back(const_cast<char*>(s.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Reads what is there now; false once the other end is closed.
bool Drain(CUniqueFd& fd, std::string& into) {
    char buffer[4096];
    while (true) {
        ssize_t n = ::read(fd.Get(), buffer, sizeof(buffer));
        if (n > 0) {
            size_t room = kMaxCaptured > into.size() ? kMaxCaptured - into.size() : 0;
            into.append(buffer, std::min(room, static_cast<size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        fd.Reset();
        return false;
    }
}

void Record(SChildResult& result, int status) {
    if (WIFEXITED(status)) {
        result.nExitStatus = WEXITSTATUS(status);
    }
}

}  // namespace

std::vector<std::string> CurrentEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        entries.emplace_back(*entry);
    }
    return entries;
}

SChildResult RunChildProcess(const SChildCommand& command) {
    SChildResult result;
    if (command.argv.empty() || command.argv[0].empty()) {
        result.nError = EINVAL;
        return result;
    }
    CUniqueFd inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!MakePipe(inRead, inWrite) || !MakePipe(outRead, outWrite) ||
        !MakePipe(errRead, errWrite)) {
        result.nError = errno;
        return result;
    }
    // Parent ends are swapped for the stdin pipe: we write, the child reads.
    CSpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.m_actions, inRead.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&setup.m_actions, outWrite.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.m_actions, errWrite.Get(), STDERR_FILENO);
    if (!command.strWorkingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&setup.m_actions, command.strWorkingDirectory.c_str());
    }
    // The child starts with every signal at its default and none blocked,
    // whatever this process ignores or blocks.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.m_attr, &none);
    posix_spawnattr_setsigdefault(&setup.m_attr, &all);
    posix_spawnattr_setflags(&setup.m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    CSigpipeGuard sigpipe;
    std::vector<char*> argv = CStrings(command.argv);
    std::vector<char*> envp = CStrings(command.environment);
    pid_t pid = -1;
    bool bSearch = command.argv[0].find('/') == std::string::npos;
    int nSpawn =
        bSearch
            ? posix_spawnp(&pid, argv[0], &setup.m_actions, &setup.m_attr, argv.data(), envp.data())
            : posix_spawn(&pid, argv[0], &setup.m_actions, &setup.m_attr, argv.data(), envp.data());
    if (nSpawn != 0) {
        result.nError = nSpawn;
        return result;
    }
    inRead.Reset();
    outWrite.Reset();
    errWrite.Reset();
    SetNonBlocking(inWrite.Get());
    SetNonBlocking(outRead.Get());
    SetNonBlocking(errRead.Get());

    size_t nWritten = 0;
    if (command.strInput.empty()) {
        inWrite.Reset();
    }
    auto deadline = std::chrono::steady_clock::now() + command.timeout;
    int status = 0;
    while (true) {
        pollfd fds[3] = {
            {outRead.Get(), POLLIN, 0}, {errRead.Get(), POLLIN, 0}, {inWrite.Get(), POLLOUT, 0}};
        // Short slices: the child's exit is noticed even while a daemon it
        // left behind keeps the pipes open.
        ::poll(fds, 3, 20);
        if (outRead.IsValid() && fds[0].revents) {
            Drain(outRead, result.strOut);
        }
        if (errRead.IsValid() && fds[1].revents) {
            Drain(errRead, result.strErr);
        }
        if (inWrite.IsValid() && fds[2].revents) {
            ssize_t n = ::write(inWrite.Get(), command.strInput.data() + nWritten,
                                command.strInput.size() - nWritten);
            if (n > 0) {
                nWritten += static_cast<size_t>(n);
            }
            if ((n < 0 && errno != EAGAIN && errno != EINTR) ||
                nWritten == command.strInput.size()) {
                inWrite.Reset();
            }
        }
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (outRead.IsValid()) {
                Drain(outRead, result.strOut);
            }
            if (errRead.IsValid()) {
                Drain(errRead, result.strErr);
            }
            Record(result, status);
            return result;
        }
        if (done < 0 && errno != EINTR) {
            result.nError = errno;
            return result;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.nError = ETIMEDOUT;
            return result;
        }
    }
}
