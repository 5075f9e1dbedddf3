#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/RadioApp.h"
#include "app/RemoteVerb.h"
#include "generated/BuildInfo.h"
#include "platform/instance/DisplayProbe.h"
#include "settings/LanguageTexts.h"

namespace {

// The verbs that answer and end before any radio runs; nullopt to run it.
std::optional<int> Answer(const CCommandLine& commandLine) {
    switch (commandLine.Action()) {
        case CCommandLine::EAction::Help:
            std::fputs(CCommandLine::HelpText("kestrel").c_str(), stdout);
            return 0;
        case CCommandLine::EAction::Version:
            std::fputs(CCommandLine::VersionText().c_str(), stdout);
            return 0;
        case CCommandLine::EAction::SetUpDataSource:
            return CRadioApp::SetUpDataSource(stdout, true) ? 0 : 1;
        case CCommandLine::EAction::Error:
            std::fprintf(stderr, "kestrel: %s\nTry 'kestrel --help'.\n",
                         commandLine.ErrorText().c_str());
            return CCommandLine::kUsageError;
        case CCommandLine::EAction::Run:
        case CCommandLine::EAction::Remote:
            break;
    }
    return std::nullopt;
}

}  // namespace

// Started for a task where no display can be opened (the scheduler keeps the
// environment of the moment the task was made), the program records it with
// no window: Qt would abort on the missing display. A task started on a
// display nobody sees (offscreen) is recorded so too: a window there would
// wait in its message boxes for good.
int main(int argc, char* argv[]) {
    const CCommandLine commandLine(std::vector<std::string>(argv, argv + argc));
    if (const std::optional<int> status = Answer(commandLine)) {
        return *status;
    }
    CLanguageTexts::SetProgramPath(CLanguageTexts::RunningProgram());
    // A verb for the radio needs no display, only the event loop of its bus.
    if (commandLine.Action() == CCommandLine::EAction::Remote) {
        QCoreApplication application(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        return CRemoteVerb(commandLine).Run();
    }
    const int nTask = commandLine.TaskNumber();
    std::string strWhy;
    const bool bDisplay = CDisplayProbe::CanOpenDisplay(&strWhy);
    if (!bDisplay || (nTask > 0 && CDisplayProbe::IsDisplayless())) {
        if (nTask <= 0) {
            std::fprintf(stderr, "kestrel: %s; start Kestrel in a desktop session\n",
                         strWhy.c_str());
            return 1;
        }
        if (bDisplay) {
            strWhy = "the display draws into memory only";
        }
        QCoreApplication application(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        std::fprintf(stderr, "kestrel: %s; recording task %d without a window\n", strWhy.c_str(),
                     nTask);
        return CRadioApp(commandLine).RunHeadless();
    }
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(KestrelBuildInfo::kApplicationId));
    // Profile, language file and catalogue numbers are written with a point.
    std::setlocale(LC_NUMERIC, "C");
    CRadioApp radio(commandLine);
    radio.InitInstance();
    return radio.ExitCode();
}
