#pragma once

#include <cstdio>
#include <string>

class CCommandLine;

// The application: it either hands a request to the copy of Kestrel that
// already runs for this user, or becomes the radio, runs the main window
// until it closes, and ends. The scheduler starts it with a task number to
// make a scheduled recording.
class CRadioApp {
public:
    explicit CRadioApp(const CCommandLine& commandLine);

    // Needs the QApplication. Returns false always: the process ends when it
    // returns (ExitCode() says how).
    bool InitInstance();
    int ExitCode() const { return m_nExitCode; }

    // Records the command line's task with no window (needs a
    // QCoreApplication), or hands it to the running copy. Returns the
    // process's exit status.
    int RunHeadless();

    // Registers the KestrelRadio data source for the user and makes its
    // tables where they are missing; what was done goes to pReport, and with
    // bAsked (--setup-data-source) also that nothing needed doing.
    static bool SetUpDataSource(std::FILE* pReport, bool bAsked = false);

private:
    const CCommandLine& m_commandLine;
    int m_nExitCode = 0;
};
