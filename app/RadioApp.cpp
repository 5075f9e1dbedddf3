#include "app/RadioApp.h"

#include <QApplication>
#include <QEventLoop>

#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "app/Backends.h"
#include "app/HeadlessRun.h"
#include "app/QuitOnSignal.h"
#include "app/RadioDlg.h"
#include "platform/hid/SimHidControl.h"
#include "platform/instance/SingleInstance.h"
#include "platform/profile/Profile.h"
#include "platform/window/WindowMessages.h"
#include "schedule/DataSourceId.h"
#include "sim/receiver/SimReceiver.h"
#include "skin/SkinEngine.h"

int CRadioApp::TaskNumber(const QStringList& arguments) {
    for (qsizetype n = 1; n < arguments.size(); ++n) {
        const QString& argument = arguments[n];
        if (argument.startsWith('-') || argument.startsWith('/')) {
            continue;
        }
        // A file name or other text is no task: handed over as one, it
        // would stop the running copy's recording.
        bool bNumber = false;
        const int nTask = argument.toInt(&bNumber, 10);
        return bNumber ? nTask : -1;
    }
    return -1;
}

std::string CRadioApp::DataSourceOfTask() {
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) {
        arguments.push_back(argument.toStdString());
    }
    return CDataSourceId::FromArguments(arguments);
}

int CRadioApp::RunHeadless(int nTask) {
    CHeadlessRun* pRun = nullptr;
    CSingleInstance instance(CRadioDlg::kTitle);
    const bool bRunningCopy = instance.Claim(nTask, [&pRun](int nRequest) {
        if (!pRun) {
            return true;
        }
        // A start without a task is someone who wants the window: this run
        // gives way and goes on recording until its task ends.
        if (nRequest < 0) {
            return false;
        }
        pRun->Core().MainWindow()->Post(WM_START_TASK, static_cast<uintptr_t>(nRequest), 0);
        return true;
    });
    if (!bRunningCopy) {
        return 0;  // the copy that runs records it
    }
    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends =
            std::make_unique<CBackends>(CBackends::KindFromEnvironment(), CBackends::EScreen::None);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        return 1;
    }
    CProfile profile(CProfile::DefaultPath());
    CHeadlessRun run(pBackends->Services(), profile);
    run.Recorder().SetExpectedDataSource(DataSourceOfTask());
    pRun = &run;
    if (run.Start(nTask)) {
        QEventLoop loop;
        QObject::connect(&run, &CHeadlessRun::Finished, &loop, &QEventLoop::quit);
        CQuitOnSignal quit(loop);
        loop.exec();
    }
    pRun = nullptr;
    return run.ExitCode();
}

bool CRadioApp::InitInstance() {
    const int nTask = TaskNumber(QApplication::arguments());
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
        pWindow->showNormal();
        pWindow->raise();
        pWindow->activateWindow();
        return true;
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
        window.Recorder().SetExpectedDataSource(DataSourceOfTask());
    }
    window.DoModal();
    pWindow = nullptr;
    return false;
}
