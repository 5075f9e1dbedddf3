#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A program the test starts and lets run beside it: exactly the given
// environment, its own working folder, standard output and error into a log
// file. Still running when the object goes, it is killed and reaped.
class CChildProgram {
public:
    // Throws std::runtime_error when it cannot be started.
    CChildProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::string& strFolder, const std::string& strLog);
    ~CChildProgram();

    CChildProgram(const CChildProgram&) = delete;
    CChildProgram& operator=(const CChildProgram&) = delete;

    pid_t Pid() const { return m_pid; }
    bool IsRunning();
    void Signal(int nSignal);
    // The wait status once it has ended, waiting up to timeout; nothing while
    // it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    std::string Log() const;

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
    std::string m_strLog;
};

// "exited with 0", "killed by signal 15": a wait status in words.
std::string DescribeStatus(int nStatus);
