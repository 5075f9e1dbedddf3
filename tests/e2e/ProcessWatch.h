#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// The processes of one program file that the scheduler (or anyone) started,
// told apart by the runtime folder in their environment: each case of a
// suite gives its processes a folder of their own. Looks into /proc, which
// needs the right to read other processes' environments (root, or the same
// user). Main thread only.
class CProcessWatch {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    struct SSeen {
        pid_t pid = 0;
        std::string strArguments;  // blank-separated
        TimePoint first;
        TimePoint last;      // the last look that found it alive
        bool bLive = false;  // alive at the last look
        // What it wrote to standard error so far, when that is a file (an at
        // job's output is): for the messages of a failed test.
        std::string strLog;
    };

    explicit CProcessWatch(const std::string& strProgram);

    // One look at every process; notes the live ones of the program.
    void Look();
    // Every process of the program seen with that runtime folder.
    std::vector<SSeen> Seen(const std::string& strRuntimeDir) const;
    std::vector<pid_t> Live(const std::string& strRuntimeDir) const;
    // Kills what still runs of the program with that runtime folder (but
    // spare); returns how many it killed.
    int KillLive(const std::string& strRuntimeDir, pid_t spare = 0);

private:
    std::string m_strProgram;
    std::map<pid_t, SSeen> m_seen;
    std::map<pid_t, std::string> m_runtimeDirs;
};
