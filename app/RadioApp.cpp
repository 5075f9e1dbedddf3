#include "app/RadioApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>

#include "app/Backends.h"
#include "app/RadioDlg.h"
#include "platform/instance/SingleInstance.h"
#include "platform/profile/Profile.h"
#include "platform/window/WindowMessages.h"
#include "skin/SkinEngine.h"

int CRadioApp::TaskNumber(const QStringList& arguments) {
    for (qsizetype n = 1; n < arguments.size(); ++n) {
        const QString& argument = arguments[n];
        if (argument.startsWith('-') || argument.startsWith('/')) {
            continue;
        }
        return static_cast<int>(std::strtol(argument.toUtf8().constData(), nullptr, 10));
    }
    return -1;
}

bool CRadioApp::InitInstance() {
    const int nTask = TaskNumber(QApplication::arguments());
    CRadioDlg* pWindow = nullptr;
    CSingleInstance instance(CRadioDlg::kTitle);
    const bool bRunningCopy = instance.Claim(nTask, [&pWindow](int nRequest) {
        if (!pWindow) {
            return;
        }
        if (nRequest >= 0) {
            pWindow->MessageTarget().Send(WM_START_TASK, static_cast<uintptr_t>(nRequest), 0);
        }
        pWindow->showNormal();
        pWindow->raise();
        pWindow->activateWindow();
    });
    if (!bRunningCopy) {
        return false;  // the copy that runs has it
    }

    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends = std::make_unique<CBackends>(CBackends::KindFromEnvironment());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        m_nExitCode = 1;
        return false;
    }
    // The engine's results are not tested: without a skin the radio still runs.
    CSkinEngine skin;
    skin.Initialise("KestrelFM");
    skin.LoadSkin("SKIN", "KESTRELSKIN");

    CProfile profile(CProfile::DefaultPath());
    CRadioDlg window(pBackends->Services(), profile, &skin);
    pWindow = &window;
    if (nTask > 0) {
        window.Core().m_nTaskNumber = nTask;
        window.Core().m_nScheduled = 1;
    }
    window.DoModal();
    pWindow = nullptr;
    return false;
}
