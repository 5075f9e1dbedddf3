#include <QApplication>
#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <string>

#include "app/RadioApp.h"
#include "platform/instance/DisplayProbe.h"

namespace {

QStringList Arguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int n = 0; n < argc; ++n) {
        arguments << QString::fromLocal8Bit(argv[n]);
    }
    return arguments;
}

}  // namespace

// Started for a task where no display can be opened (the scheduler keeps the
// environment of the moment the task was made), the program records it with
// no window: Qt would abort on the missing display. A task started on a
// display nobody sees (offscreen) is recorded so too: a window there would
// wait in its message boxes for good.
int main(int argc, char* argv[]) {
    const int nTask = CRadioApp::TaskNumber(Arguments(argc, argv));
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
        return CRadioApp::RunHeadless(nTask);
    }
    QApplication application(argc, argv);
    // Profile, language file and catalogue numbers are written with a point.
    std::setlocale(LC_NUMERIC, "C");
    CRadioApp radio;
    radio.InitInstance();
    return radio.ExitCode();
}
