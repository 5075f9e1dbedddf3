#pragma once

#include <QStringList>

#include <string>

// The application: it either hands a request to the copy of Kestrel that
// already runs for this user, or becomes the radio, runs the main window
// until it closes, and ends. The scheduler starts it with a task number to
// make a scheduled recording.
class CRadioApp {
public:
    // Needs the QApplication. Returns false always: the process ends when it
    // returns (ExitCode() says how).
    bool InitInstance();
    int ExitCode() const { return m_nExitCode; }

    // The first argument that is not a switch ("-x", "/x"), read as a decimal
    // number; -1 without one or when it is not a number. arguments[0] is the
    // program.
    static int TaskNumber(const QStringList& arguments);

    // Records task nTask with no window (needs a QCoreApplication), or hands
    // it to the running copy. Returns the process's exit status.
    static int RunHeadless(int nTask);

private:
    // The data source the work item that started this process was made for.
    static std::string DataSourceOfTask();

    int m_nExitCode = 0;
};
