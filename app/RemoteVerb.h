#pragma once

#include <string>

#include "app/CommandLine.h"
#include "control/ControlClient.h"

class CRadioController;

// A verb of the command line (--tune, --record, --status ...): handed to the
// running copy over its script interface, or, with none running, done by a
// run with no window that ends when the verb is done. Answers go to
// standard output, reasons to standard error; the exit status is a
// KestrelExit status.
//
// Needs the QCoreApplication.
class CRemoteVerb {
public:
    explicit CRemoteVerb(const CCommandLine& commandLine) : m_commandLine(commandLine) {}

    int Run();

private:
    int ToRunningCopy(CControlClient& client);
    CControlClient::SReply TuneRunningCopy(CControlClient& client,
                                           const CCommandLine::STuning& tuning) const;
    int TuneHeadless(CRadioController& controller, const CCommandLine::STuning& tuning) const;
    int Headless();
    int Perform(CRadioController& controller, const std::string& strStateJson);
    int RecordHeadless(CRadioController& controller);
    int ScanHeadless(CRadioController& controller);
    int Fail(int nStatus, const std::string& strWhy) const;
    void Print(const std::string& strText) const;
    // A remark beside the answer, on standard error.
    void Note(const std::string& strNote) const;
    // The parts of the core a verb uses (CRadioCore::EParts).
    static unsigned PartsOf(CCommandLine::EVerb eVerb);

    const CCommandLine& m_commandLine;
};
