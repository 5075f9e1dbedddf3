#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Runs a command to its end and keeps what it printed (standard output and
// error together), for the tests that drive installed programs and tools.
// A command still running at the time limit is killed with its process
// group and reported as timed out.
class CCommandRun {
public:
    struct SOptions {
        std::filesystem::path folder;  // current directory; empty: this one
        std::vector<std::pair<std::string, std::string>> environment;  // added
        std::vector<std::string> unset;  // removed from the environment
        std::chrono::seconds limit{120};
    };
    struct SResult {
        int nStatus = -1;  // exit status; -1 when killed or not started
        bool bTimedOut = false;
        std::string strOutput;
    };

    static SOptions Limit(std::chrono::seconds limit) {
        SOptions options;
        options.limit = limit;
        return options;
    }

    static SResult Run(const std::vector<std::string>& command, const SOptions& options);
    static SResult Run(const std::vector<std::string>& command) { return Run(command, {}); }
    // A shell command line, for the pipes and redirections of a set-up.
    static SResult Shell(const std::string& strCommand, const SOptions& options);
    static SResult Shell(const std::string& strCommand) { return Shell(strCommand, {}); }
    // Whether a program of that name is on PATH.
    static bool Exists(const std::string& strProgram);
};
