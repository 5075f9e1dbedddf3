#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/UniqueFd.h"

// A program the suite starts and talks to by lines: its standard input and
// output are pipes of ours, its standard error goes to ours (the guest's
// log). Destroying it closes its input and waits for it; one that does not
// end is killed. Only this child is ever signalled.
class CGuestChild {
public:
    CGuestChild() = default;
    ~CGuestChild();

    CGuestChild(const CGuestChild&) = delete;
    CGuestChild& operator=(const CGuestChild&) = delete;

    // argv[0] is a path or looked up in PATH. False when it cannot start.
    bool Start(const std::vector<std::string>& argv);
    bool IsRunning() const { return m_pid > 0; }

    bool WriteLine(const std::string& strLine);
    // The next line it writes, without the newline; nothing on time-out or
    // once its output has ended.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // WriteLine, then ReadLine.
    std::optional<std::string> Ask(const std::string& strLine,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // Closes its input and waits up to the time-out for it to end, then
    // kills it. Its exit code, or -1 when it did not exit by itself.
    int Finish(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Ends it now (SIGTERM, then SIGKILL after a grace) and reaps it.
    void Kill();

private:
    pid_t m_pid = -1;
    CUniqueFd m_in;
    CUniqueFd m_out;
    std::string m_buffered;
};
