#include <QApplication>

#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/Backends.h"
#include "app/RadioDlg.h"
#include "platform/profile/Profile.h"
#include "skin/SkinEngine.h"

namespace {

// The first argument that is not a switch, as a decimal number (0 for text);
// -1 without one. The scheduler starts the program with its task number.
int TaskNumber(const QStringList& arguments) {
    for (qsizetype n = 1; n < arguments.size(); ++n) {
        const QString& argument = arguments[n];
        if (argument.startsWith('-') || argument.startsWith('/')) {
            continue;
        }
        return static_cast<int>(std::strtol(argument.toUtf8().constData(), nullptr, 10));
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Profile, language file and catalogue numbers are written with a point.
    std::setlocale(LC_NUMERIC, "C");

    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends = std::make_unique<CBackends>(CBackends::KindFromEnvironment());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        return 1;
    }
    // The engine's results are not tested: without a skin the radio still runs.
    CSkinEngine skin;
    skin.Initialise("KestrelFM");
    skin.LoadSkin("SKIN", "KESTRELSKIN");

    CProfile profile(CProfile::DefaultPath());
    CRadioDlg window(pBackends->Services(), profile, &skin);
    if (const int nTask = TaskNumber(QApplication::arguments()); nTask > 0) {
        window.Core().m_nTaskNumber = nTask;
        window.Core().m_nScheduled = 1;
    }
    window.DoModal();
    return 0;
}
