#include "app/RemoteVerb.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/CommandLine.h"
#include "app/HeadlessControl.h"
#include "app/HeadlessRun.h"
#include "app/PresetVerb.h"
#include "app/QuitRequests.h"
#include "app/RadioApp.h"
#include "app/RadioDlg.h"
#include "control/ControlBus.h"
#include "control/ControlClient.h"
#include "control/ExitStatus.h"
#include "control/ScriptInterface.h"
#include "core/backends/Backends.h"
#include "platform/clock/Clock.h"
#include "platform/instance/SingleInstance.h"
#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "platform/window/WindowMessages.h"

namespace {

using EVerb = CCommandLine::EVerb;
using EResult = CRadioController::EResult;

int StatusOf(EResult eResult) {
    switch (eResult) {
        case EResult::Done:
            return KestrelExit::kOk;
        case EResult::ReceiverAbsent:
            return KestrelExit::kReceiverAbsent;
        case EResult::Refused:
            return KestrelExit::kRefused;
        case EResult::BadValue:
            return KestrelExit::kUsage;
    }
    return KestrelExit::kFailed;
}

// A stopped scan ends as a failed command, with the copy or without.
bool ScanWasCancelled(const QString& strJson) {
    return QJsonDocument::fromJson(strJson.toUtf8())
        .object()
        .value(QStringLiteral("cancelled"))
        .toBool();
}

// The receiver takes its last report from the device link's thread: a run
// that ended at once could close the link before it is written.
constexpr auto kSettle = std::chrono::milliseconds(300);

}  // namespace

// What each verb uses: a command that only tunes never waits for the sound
// card or the data source, nor says they are missing.
unsigned CRemoteVerb::PartsOf(CCommandLine::EVerb eVerb) {
    switch (eVerb) {
        case EVerb::Record:
            return CRadioCore::kAllParts;
        case EVerb::Tasks:
        case EVerb::AddTask:
            return CRadioCore::kTables;
        case EVerb::Scan:
        case EVerb::PresetSets:
        case EVerb::PresetSet:
        case EVerb::NewPresetSet:
        case EVerb::ExportPresets:
        case EVerb::ImportPresets:
        case EVerb::Tune:
        case EVerb::Preset:
        case EVerb::Seek:
        case EVerb::Status:
        case EVerb::Stop:
        case EVerb::None:
            break;
    }
    return CRadioCore::kReceiver;
}

void CRemoteVerb::Note(const std::string& strNote) const {
    if (!strNote.empty()) {
        std::fprintf(stderr, "kestrel: %s\n", strNote.c_str());
    }
}

int CRemoteVerb::Fail(int nStatus, const std::string& strWhy) const {
    if (nStatus != KestrelExit::kOk) {
        std::fprintf(stderr, "kestrel: %s\n", strWhy.empty() ? "refused" : strWhy.c_str());
    }
    return nStatus;
}

void CRemoteVerb::Print(const std::string& strText) const {
    if (!strText.empty()) {
        std::fprintf(stdout, "%s\n", strText.c_str());
        std::fflush(stdout);
    }
}

int CRemoteVerb::Run() {
    // A script that stops reading (kestrel --record | head -1) must not end
    // a recording half written: the answers' writes fail instead.
    std::signal(SIGPIPE, SIG_IGN);
    CControlClient client;
    if (CPresetVerb::Takes(m_commandLine.Verb())) {
        CProfile profile(CProfile::DefaultPath());
        return CPresetVerb(m_commandLine, profile).Run(client.HasCopy() ? &client : nullptr);
    }
    if (client.HasCopy()) {
        // The copy that runs has its receiver: it cannot take a recording's.
        if (m_commandLine.IqFile()) {
            return Fail(KestrelExit::kUsage,
                        "--iq-file needs Kestrel not running (quit the running copy first)");
        }
        return ToRunningCopy(client);
    }
    if (m_commandLine.Verb() == EVerb::Stop) {
        return Fail(KestrelExit::kNoCopy, "no running copy of Kestrel records");
    }
    return Headless();
}

CControlClient::SReply CRemoteVerb::TuneRunningCopy(CControlClient& client,
                                                    const CCommandLine::STuning& tuning) const {
    const QString strValue = QString::fromStdString(tuning.strValue);
    if (tuning.eVerb == EVerb::Tune) {
        return client.Call("Tune", {strValue});
    }
    CControlClient::SReply reply = client.Call("RecallPreset", {strValue.toInt()});
    if (reply.nStatus == KestrelExit::kOk && reply.values.size() > 1) {
        Note(reply.values[1].toString().toStdString());
    }
    return reply;
}

int CRemoteVerb::ToRunningCopy(CControlClient& client) {
    const QString strValue = QString::fromStdString(m_commandLine.VerbValue());
    CControlClient::SReply reply;
    switch (m_commandLine.Verb()) {
        case EVerb::Tune:
        case EVerb::Preset:
            reply = TuneRunningCopy(client, {m_commandLine.Verb(), m_commandLine.VerbValue()});
            break;
        case EVerb::Seek:
            reply = client.Call("Seek", {strValue});  // answered when the seek ends
            break;
        case EVerb::Record:
            if (const auto& tuning = m_commandLine.Tuning()) {
                reply = TuneRunningCopy(client, *tuning);
                if (reply.nStatus != KestrelExit::kOk) {
                    break;
                }
            }
            reply = client.Call("StartRecording",
                                {QVariant::fromValue<qlonglong>(m_commandLine.RecordSeconds())});
            break;
        case EVerb::Stop:
            reply = client.Call("StopRecording");
            break;
        case EVerb::Status:
            reply = client.Call("State");
            break;
        case EVerb::Tasks:
            reply = client.Call("ListTasks");
            break;
        case EVerb::AddTask: {
            QVariantList fields;
            for (const std::string& strField : m_commandLine.TaskFields()) {
                fields.append(QString::fromStdString(strField));
            }
            if (!m_commandLine.HasRepeat()) {
                reply = client.Call("AddTask", fields);
                break;
            }
            const CRadioController::SRepeat& repeat = m_commandLine.Repeat();
            fields << QString::fromStdString(repeat.strRepeat)
                   << QString::fromStdString(repeat.strUntil) << repeat.nTimes << repeat.nPadBefore
                   << repeat.nPadAfter << repeat.nKeepLast << repeat.nKeepDays;
            reply = client.Call("AddRepeatingTask", fields);
            break;
        }
        case EVerb::Scan: {
            // Ctrl+C stops the copy's scan, which then answers and stores nothing.
            CQuitRequests quit([&client] { client.Call("CancelScan"); });
            reply = client.Call("Scan",
                                {QString::fromStdString(m_commandLine.ScanBand()).toUpper(),
                                 QString::fromStdString(m_commandLine.Store())},
                                true);
            break;
        }
        case EVerb::PresetSets:
        case EVerb::PresetSet:
        case EVerb::NewPresetSet:
        case EVerb::ExportPresets:
        case EVerb::ImportPresets:
        case EVerb::None:
            return KestrelExit::kUsage;
    }
    if (reply.nStatus != KestrelExit::kOk) {
        return Fail(reply.nStatus, reply.strError);
    }
    Print(reply.value.toString().toStdString());
    return m_commandLine.Verb() == EVerb::Scan && ScanWasCancelled(reply.value.toString())
               ? KestrelExit::kFailed
               : KestrelExit::kOk;
}

// The run claims the radio as a start with no screen does, so that a
// scheduled task that fires meanwhile is recorded by it, and a start that
// wants the window finds it.
int CRemoteVerb::Headless() {
    CHeadlessRun* pRun = nullptr;
    CSingleInstance instance(CRadioDlg::kTitle);
    const bool bOwn = instance.Claim(-1, CHeadlessRun::LaterStarts(&pRun));
    if (!bOwn) {
        return Fail(KestrelExit::kNoCopy,
                    "Kestrel runs, but not on this session bus: use its window");
    }
    const unsigned nParts = PartsOf(m_commandLine.Verb());
    if (nParts & CRadioCore::kTables) {
        CRadioApp::SetUpDataSource(stderr);
    }
    CProfile profile(CProfile::DefaultPath());
    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends =
            std::make_unique<CBackends>(CBackends::KindFromEnvironment(), CBackends::EScreen::None,
                                        CSettings(profile).ReceiverKind(), m_commandLine.IqFile());
    } catch (const std::exception& error) {
        return Fail(KestrelExit::kFailed, error.what());
    }
    CHeadlessRun run(pBackends->Services(), profile);
    run.Open(nParts);
    pRun = &run;
    CHeadlessControl target(run);
    // While it runs, --stop and --status reach it as they would the window.
    CControlBus remote(target);
    std::string strNoBus;
    remote.Open(strNoBus);
    const int nStatus =
        Perform(remote.Controller(), CScriptInterface::StateJson(remote.Current()).toStdString());
    pRun = nullptr;
    return nStatus;
}

int CRemoteVerb::Perform(CRadioController& controller, const std::string& strStateJson) {
    std::string strWhy;
    CRadioCore& core = controller.Target().Core();
    switch (m_commandLine.Verb()) {
        case EVerb::Tune:
        case EVerb::Preset:
            return TuneHeadless(controller, {m_commandLine.Verb(), m_commandLine.VerbValue()});
        case EVerb::Seek: {
            const EResult eResult = controller.Seek(m_commandLine.VerbValue() == "up");
            if (eResult != EResult::Done) {
                return Fail(StatusOf(eResult), "the receiver is not plugged in");
            }
            // The seek worker tells its station to this thread and waits.
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (!core.IsSeeking()) {
                    loop.quit();
                }
            });
            poll.start(100);
            loop.exec();
            Print(core.ChannelText());
            return KestrelExit::kOk;
        }
        case EVerb::Record:
            if (const auto& tuning = m_commandLine.Tuning()) {
                if (const int nStatus = TuneHeadless(controller, *tuning);
                    nStatus != KestrelExit::kOk) {
                    return nStatus;
                }
            }
            return RecordHeadless(controller);
        case EVerb::Status:
            Print(strStateJson);
            return KestrelExit::kOk;
        case EVerb::Tasks: {
            std::vector<STaskInfo> tasks;
            if (!controller.Tasks(tasks, strWhy)) {
                return Fail(KestrelExit::kFailed, strWhy);
            }
            Print(CScriptInterface::TasksJson(tasks).toStdString());
            return KestrelExit::kOk;
        }
        case EVerb::AddTask: {
            const std::vector<std::string>& fields = m_commandLine.TaskFields();
            int nId = 0;
            const EResult eResult = controller.AddTask(fields[0], fields[1], fields[2], fields[3],
                                                       m_commandLine.Repeat(), nId, strWhy);
            if (eResult == EResult::Done) {
                Print(std::to_string(nId));
            }
            return Fail(StatusOf(eResult), strWhy);
        }
        case EVerb::Scan:
            return ScanHeadless(controller);
        case EVerb::Stop:
        case EVerb::PresetSets:
        case EVerb::PresetSet:
        case EVerb::NewPresetSet:
        case EVerb::ExportPresets:
        case EVerb::ImportPresets:
        case EVerb::None:
            break;
    }
    return KestrelExit::kUsage;
}

// Until the band's end, or a signal, which stores nothing.
int CRemoteVerb::ScanHeadless(CRadioController& controller) {
    std::string strWhy;
    const std::string& strBand = m_commandLine.ScanBand();
    const int nBand = strBand.empty()                        ? -1
                      : (strBand == "AM" || strBand == "am") ? CReceiver::BAND_AM
                                                             : CReceiver::BAND_FM;
    const EResult eResult = controller.StartScan(nBand, strWhy);
    if (eResult != EResult::Done) {
        return Fail(StatusOf(eResult), strWhy);
    }
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!controller.IsScanning()) {
            loop.quit();
        }
    });
    poll.start(50);
    CQuitRequests quit([&controller] { controller.CancelScan(); });
    loop.exec();
    const CRadioController::SScanResult result =
        controller.FinishScan(CScanPlacement::ParseMode(m_commandLine.Store()));
    Print(CScriptInterface::ScanJson(result).toStdString());
    if (result.bStoreFailed) {
        return Fail(KestrelExit::kFailed, "the profile cannot be written: nothing stored");
    }
    return result.bCancelled ? KestrelExit::kFailed : KestrelExit::kOk;
}

int CRemoteVerb::TuneHeadless(CRadioController& controller,
                              const CCommandLine::STuning& tuning) const {
    std::string strWhy;
    CRadioCore& core = controller.Target().Core();
    if (tuning.eVerb == EVerb::Tune) {
        const EResult eResult = controller.Tune(tuning.strValue, strWhy);
        core.Services().clock.Sleep(kSettle);
        return Fail(StatusOf(eResult), strWhy);
    }
    std::string strNote;
    const EResult eResult = controller.RecallPreset(std::stoi(tuning.strValue), strWhy, strNote);
    core.Services().clock.Sleep(kSettle);
    if (eResult == EResult::Done) {
        Print(core.ChannelText());
        Note(strNote);
    }
    return Fail(StatusOf(eResult), strWhy);
}

// Until its length has passed, --stop, or a signal; the file's name is
// printed when it starts, the station's own name (RDS) once it is heard.
int CRemoteVerb::RecordHeadless(CRadioController& controller) {
    std::string strWhy;
    const EResult eResult = controller.StartRecording(m_commandLine.RecordSeconds(), strWhy);
    if (eResult != EResult::Done) {
        return Fail(StatusOf(eResult), strWhy);
    }
    CRadioCore& core = controller.Target().Core();
    Print(core.RecordFile());
    QEventLoop loop;
    QTimer poll;
    std::string strStation;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        controller.Tick();
        const std::string strNow = core.Reading().strStation;
        if (!strNow.empty() && strNow != strStation) {
            strStation = strNow;
            Print("station: " + strStation);
        }
        if (!controller.Target().Recorder().IsRecording()) {
            loop.quit();
        }
    });
    poll.start(250);
    CQuitRequests quit([&controller] { controller.StopRecording(); });
    loop.exec();
    return KestrelExit::kOk;
}
