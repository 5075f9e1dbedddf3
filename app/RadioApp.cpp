#include "app/RadioApp.h"

#include <QApplication>
#include <QEventLoop>

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "app/CommandLine.h"
#include "app/HeadlessRun.h"
#include "app/QuitRequests.h"
#include "app/RadioDlg.h"
#include "app/WindowControl.h"
#include "control/ControlBus.h"
#include "control/windows/TrayIcon.h"
#include "core/backends/Backends.h"
#include "platform/db/DataSourceSetup.h"
#include "platform/hid/SimHidControl.h"
#include "platform/instance/SingleInstance.h"
#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "platform/window/WindowMessages.h"
#include "sim/receiver/SimReceiver.h"
#include "skin/SkinEngine.h"

CRadioApp::CRadioApp(const CCommandLine& commandLine) : m_commandLine(commandLine) {}

bool CRadioApp::SetUpDataSource(std::FILE* pReport, bool bAsked) {
    std::unique_ptr<CDbDriver> pDriver;
    try {
        pDriver = CBackends::CreateDatabase();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        return false;
    }
    CDataSourceSetup setup(*pDriver);
    const CStatus status = setup.Run();
    for (const std::string& strDone : setup.Done()) {
        std::fprintf(pReport, "kestrel: %s\n", strDone.c_str());
    }
    if (bAsked && status && setup.Done().empty()) {
        std::fprintf(pReport,
                     "kestrel: the data source %s and its tables are in place; nothing to do\n",
                     CDataSourceSetup::kName);
    }
    if (!status) {
        std::fprintf(stderr, "kestrel: %s\n", status.Message().c_str());
    }
    return static_cast<bool>(status);
}

int CRadioApp::RunHeadless() {
    const int nTask = m_commandLine.TaskNumber();
    CHeadlessRun* pRun = nullptr;
    CSingleInstance instance(CRadioDlg::kTitle);
    const bool bRunningCopy = instance.Claim(nTask, CHeadlessRun::LaterStarts(&pRun));
    if (!bRunningCopy) {
        return 0;  // the copy that runs records it
    }
    SetUpDataSource(stderr);
    CProfile profile(CProfile::DefaultPath());
    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends =
            std::make_unique<CBackends>(CBackends::KindFromEnvironment(), CBackends::EScreen::None,
                                        CSettings(profile).ReceiverKind(), m_commandLine.IqFile());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        return 1;
    }
    CHeadlessRun run(pBackends->Services(), profile);
    run.Recorder().SetExpectedDataSource(m_commandLine.DataSource());
    pRun = &run;
    if (run.Start(nTask)) {
        QEventLoop loop;
        QObject::connect(&run, &CHeadlessRun::Finished, &loop, &QEventLoop::quit);
        CQuitRequests quit([&loop] { loop.quit(); });
        loop.exec();
    }
    pRun = nullptr;
    // Asked to stop while recording: the recording is completed first, and
    // its outcome decides the exit status.
    run.Stop();
    return run.ExitCode();
}

bool CRadioApp::InitInstance() {
    const int nTask = m_commandLine.TaskNumber();
    CRadioDlg* pWindow = nullptr;
    CSingleInstance instance(CRadioDlg::kTitle);
    const bool bRunningCopy = instance.Claim(nTask, [&pWindow](int nRequest) {
        if (!pWindow) {
            return true;
        }
        // Posted: the later start is answered at once, whatever boxes the
        // task's start may show.
        if (nRequest >= 0) {
            pWindow->MessageTarget().Post(WM_START_TASK, static_cast<uintptr_t>(nRequest), 0);
        }
        pWindow->ShowFromTray();
        return true;
    });
    if (!bRunningCopy) {
        return false;  // the copy that runs has it
    }
    SetUpDataSource(stderr);

    CProfile profile(CProfile::DefaultPath());
    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends = std::make_unique<CBackends>(
            CBackends::KindFromEnvironment(), CBackends::EScreen::Window,
            CSettings(profile).ReceiverKind(), m_commandLine.IqFile());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        m_nExitCode = 1;
        return false;
    }
    // The engine's results are not tested: without a skin the radio still runs.
    CSkinEngine skin;
    skin.Initialise("KestrelFM");
    skin.LoadSkin("SKIN", "KESTRELSKIN");

    CRadioDlg window(pBackends->Services(), profile, &skin);
    pWindow = &window;
    if (CSimHidControl* pSimHid = pBackends->SimHid()) {
        const int nId = pBackends->SimReceiverId();
        CSimReceiver* pReceiver = pBackends->SimReceiver();
        window.SetDemoReceiver(
            {[pSimHid, nId] { return pSimHid->IsPlugged(nId); },
             [pSimHid, nId](bool bPlug) { bPlug ? pSimHid->Plug(nId) : pSimHid->Unplug(nId); },
             [pReceiver](int nStep) { pReceiver->SetAmPlan(nStep); }});
    }
    if (nTask > 0) {
        window.Core().SetTaskNumber(nTask);
        window.Core().SetScheduled(1);
        window.Recorder().SetExpectedDataSource(m_commandLine.DataSource());
    }
    // Every way out (the close box without a tray, the tray's Quit, a signal,
    // a logout) runs the window's close sequence, which ends its run.
    CQuitRequests quit([&window] { window.DestroyWindow(); });
    // A box closed while the window sits in the tray is no last window.
    QApplication::setQuitOnLastWindowClosed(false);
    // Media keys and scripts; without a session bus the radio runs as ever.
    CWindowControl control(window);
    CControlBus remote(control);
    std::string strNoRemote;
    remote.Open(strNoRemote);
    std::unique_ptr<CTrayIcon> pTray;
    if (CTrayIcon::IsAvailable()) {
        pTray = std::make_unique<CTrayIcon>(
            remote, CTrayIcon::SWindow{[&window] { return window.IsShown(); },
                                       [&window](bool bShow) {
                                           bShow ? window.ShowFromTray() : window.HideToTray();
                                       },
                                       [&window] { window.DestroyWindow(); }});
        window.SetCloseToTray(true);
        pTray->Show();
    }
    window.RunAsMainWindow();
    // A run ended from outside the window still closes it as its close box would.
    window.DestroyWindow();
    pWindow = nullptr;
    return false;
}
