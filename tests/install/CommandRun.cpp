#include "tests/install/CommandRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/UniqueFd.h"

CCommandRun::SResult CCommandRun::Run(const std::vector<std::string>& command,
                                      const SOptions& options) {
    SResult result;
    int fds[2];
    if (command.empty() || pipe2(fds, O_CLOEXEC) != 0) {
        result.strOutput = "cannot start the command";
        return result;
    }
    CUniqueFd readEnd(fds[0]);
    CUniqueFd writeEnd(fds[1]);
    std::vector<char*> argv;
    for (const std::string& argument : command) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(writeEnd.Get(), STDOUT_FILENO);
        dup2(writeEnd.Get(), STDERR_FILENO);
        const int nNull = open("/dev/null", O_RDONLY);
        dup2(nNull, STDIN_FILENO);
        if (!options.folder.empty() && chdir(options.folder.c_str()) != 0) {
            _exit(126);
        }
        for (const std::string& strName : options.unset) {
            unsetenv(strName.c_str());
        }
        for (const auto& [strName, strValue] : options.environment) {
            setenv(strName.c_str(), strValue.c_str(), 1);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    writeEnd.Reset();
    if (pid < 0) {
        result.strOutput = "cannot fork";
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() + options.limit;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.bTimedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
        pollfd poller{readEnd.Get(), POLLIN, 0};
        const int nReady =
            poll(&poller, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (nReady < 0 && errno != EINTR) {
            break;
        }
        if (nReady <= 0) {
            continue;
        }
        const ssize_t nRead = read(readEnd.Get(), buffer, sizeof buffer);
        if (nRead <= 0) {
            break;
        }
        result.strOutput.append(buffer, static_cast<size_t>(nRead));
    }
    readEnd.Reset();  // a child still writing is not left blocked while we wait
    int nWait = 0;
    while (waitpid(pid, &nWait, 0) < 0 && errno == EINTR) {
    }
    if (!result.bTimedOut && WIFEXITED(nWait)) {
        result.nStatus = WEXITSTATUS(nWait);
    }
    return result;
}

CCommandRun::SResult CCommandRun::Shell(const std::string& strCommand, const SOptions& options) {
    return Run({"/bin/bash", "-c", "set -o pipefail; " + strCommand}, options);
}

bool CCommandRun::Exists(const std::string& strProgram) {
    return Shell("command -v " + strProgram + " >/dev/null").nStatus == 0;
}
