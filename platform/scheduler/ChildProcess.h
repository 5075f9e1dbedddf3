#pragma once

#include <chrono>
#include <string>
#include <vector>

struct SChildCommand {
    // argv[0] without a "/" is looked up in PATH. No shell is involved.
    std::vector<std::string> argv;
    // "NAME=value" entries; the child gets exactly these.
    std::vector<std::string> environment;
    // Empty: the caller's own.
    std::string strWorkingDirectory;
    // Written to the child's standard input, which is then closed.
    std::string strInput;
    std::chrono::milliseconds timeout{15000};
};

struct SChildResult {
    // errno of a failed start, or ETIMEDOUT when the child was killed for
    // running too long; 0 when it ran to its end.
    int nError = 0;
    // Exit code; -1 when the child did not exit normally.
    int nExitStatus = -1;
    std::string strOut;
    std::string strErr;

    bool Succeeded() const { return nError == 0 && nExitStatus == 0; }
};

// Runs a program to its end and collects what it wrote. Only the child's own
// exit is waited for: a daemon it leaves behind may keep its output open.
// Safe to call from any thread; SIGPIPE from a child that stops reading is
// kept from the calling process.
SChildResult RunChildProcess(const SChildCommand& command);

// This process's environment as "NAME=value" entries.
std::vector<std::string> CurrentEnvironment();
