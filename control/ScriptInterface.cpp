#include "control/ScriptInterface.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <utility>

#include "control/ControlBus.h"
#include "control/ControlTarget.h"
#include "core/RadioCore.h"
#include "presets/PresetStore.h"

namespace {

QString Text(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

}  // namespace

namespace {

// How soon a caller of Seek hears that the seek ended.
constexpr int kSeekWatchMs = 50;

}  // namespace

CScriptInterface::CScriptInterface(CControlBus& bus) : m_bus(bus) {
    m_seekWatch.setInterval(kSeekWatchMs);
    connect(&m_seekWatch, &QTimer::timeout, this, [this] { AnswerSeeks(); });
    m_scanWatch.setInterval(kSeekWatchMs);
    connect(&m_scanWatch, &QTimer::timeout, this, [this] { WatchScan(); });
}

QString CScriptInterface::ScanJson(const CRadioController::SScanResult& result) {
    QJsonArray stations;
    for (const SScanStation& station : result.stations) {
        QJsonObject json;
        json.insert(QStringLiteral("band"), Text(CPresetStore::ModelText(station.nBand)));
        json.insert(QStringLiteral("frequency"),
                    Text(CPresetStore::FrequencyNumber(station.nBand, station.nFrequency)));
        json.insert(QStringLiteral("channel"),
                    Text(CPresetStore::ModelText(station.nBand) + " " +
                         CPresetStore::ListText(station.nBand, station.nFrequency)));
        json.insert(QStringLiteral("signal"), station.nSignal);
        json.insert(QStringLiteral("stereo"), station.bStereo);
        json.insert(QStringLiteral("station"), Text(station.strName));
        stations.append(json);
    }
    QJsonArray stored;
    for (const SPresetChange& change : result.stored) {
        QJsonObject json;
        json.insert(QStringLiteral("preset"), change.nSlot);
        const unsigned nFrequency = CPresetStore::Frequency(change.after.nValue);
        json.insert(QStringLiteral("frequency"),
                    change.after.nValue == 0
                        ? QString()
                        : Text(CPresetStore::FrequencyNumber(change.nBand, nFrequency)));
        json.insert(QStringLiteral("title"), Text(change.after.strTitle));
        stored.append(json);
    }
    QJsonObject json;
    json.insert(QStringLiteral("band"), Text(CPresetStore::ModelText(result.nBand)));
    json.insert(QStringLiteral("cancelled"), result.bCancelled);
    json.insert(QStringLiteral("stations"), stations);
    json.insert(QStringLiteral("stored"), stored);
    return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

QString CScriptInterface::Scan(const QString& strBand, const QString& strStore) {
    int nBand = -1;
    if (strBand.compare(QLatin1String("FM"), Qt::CaseInsensitive) == 0) {
        nBand = CReceiver::BAND_FM;
    } else if (strBand.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0) {
        nBand = CReceiver::BAND_AM;
    } else if (!strBand.isEmpty()) {
        Answer(CRadioController::EResult::BadValue, "the band is FM or AM");
        return {};
    }
    std::optional<CScanPlacement::EMode> store;
    if (!strStore.isEmpty()) {
        store = CScanPlacement::ParseMode(strStore.toStdString());
        if (!store) {
            Answer(CRadioController::EResult::BadValue, "the store is free, page or band");
            return {};
        }
    }
    if (!m_scanCalls.empty()) {
        Answer(CRadioController::EResult::Refused, "a scan is running already");
        return {};
    }
    std::string strWhy;
    if (!Answer(m_bus.Controller().StartScan(nBand, strWhy), strWhy)) {
        return {};
    }
    m_scanStore = store;
    m_toldProgress = {};
    if (!calledFromDBus()) {
        return {};
    }
    setDelayedReply(true);
    m_scanCalls.push_back(message());
    m_scanWatch.start();
    return {};
}

void CScriptInterface::CancelScan() {
    m_bus.Controller().CancelScan();
}

void CScriptInterface::PresetsChanged() {
    m_bus.Controller().PresetsChanged();
}

void CScriptInterface::WatchScan() {
    CRadioController& controller = m_bus.Controller();
    const SScanProgress progress = controller.ScanProgress();
    if (progress.nChannel != m_toldProgress.nChannel || progress.nFound != m_toldProgress.nFound) {
        m_toldProgress = progress;
        const CTuningSteps steps = m_bus.Controller().Target().Core().Steps();
        Q_EMIT ScanProgress(progress.nChannel, progress.nChannels,
                            Text(steps.DisplayText(progress.nFrequency)), progress.nFound);
    }
    if (controller.IsScanning()) {
        return;
    }
    m_scanWatch.stop();
    const QString strJson = ScanJson(controller.FinishScan(std::exchange(m_scanStore, {})));
    m_bus.Refresh();
    for (const QDBusMessage& call : std::exchange(m_scanCalls, {})) {
        m_bus.Send(call.createReply(strJson));
    }
}

QString CScriptInterface::StateJson(const SRadioState& state) {
    QJsonObject json;
    json.insert(QStringLiteral("receiver"), state.bPresent);
    json.insert(QStringLiteral("band"), Text(CPresetStore::ModelText(state.nBand)));
    json.insert(QStringLiteral("frequency"),
                Text(CPresetStore::FrequencyNumber(state.nBand, state.nFrequency)));
    json.insert(QStringLiteral("channel"), Text(state.strChannelText));
    json.insert(QStringLiteral("preset"), state.nSlot);
    json.insert(QStringLiteral("title"), Text(state.strTitle));
    json.insert(QStringLiteral("station"), Text(state.strStation));
    json.insert(QStringLiteral("radioText"), Text(state.strRadioText));
    json.insert(QStringLiteral("muted"), state.bMuted);
    // The scale of MPRIS's Volume: 0.0 to 1.0.
    json.insert(QStringLiteral("volume"), std::round(state.nVolume * 1000.0 / 0xFFFF) / 1000.0);
    json.insert(QStringLiteral("recording"), state.bRecording);
    json.insert(QStringLiteral("recordFile"), Text(state.strRecordFile));
    json.insert(QStringLiteral("recordedSeconds"), static_cast<qint64>(state.nRecordedSeconds));
    return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

QString CScriptInterface::TasksJson(const std::vector<STaskInfo>& tasks) {
    QJsonArray array;
    for (const STaskInfo& task : tasks) {
        QJsonObject json;
        json.insert(QStringLiteral("id"), task.nId);
        json.insert(QStringLiteral("begin"),
                    QDateTime::fromSecsSinceEpoch(task.begin).toString(Qt::ISODate));
        json.insert(QStringLiteral("end"),
                    QDateTime::fromSecsSinceEpoch(task.end).toString(Qt::ISODate));
        json.insert(QStringLiteral("band"), Text(CPresetStore::ModelText(task.nBand)));
        json.insert(QStringLiteral("frequency"),
                    Text(CPresetStore::FrequencyNumber(task.nBand, task.nFrequency)));
        json.insert(QStringLiteral("channel"), Text(task.strChannelText));
        json.insert(QStringLiteral("mute"), task.bMute);
        json.insert(QStringLiteral("memo"), Text(task.strMemo));
        if (task.rule) {
            json.insert(QStringLiteral("repeat"), Text(task.rule->RepeatText()));
            if (task.rule->until != 0) {
                json.insert(
                    QStringLiteral("until"),
                    QDateTime::fromSecsSinceEpoch(task.rule->until).date().toString(Qt::ISODate));
            }
            json.insert(QStringLiteral("times"), task.rule->nTimes);
            json.insert(QStringLiteral("padBefore"), task.rule->nPadBefore);
            json.insert(QStringLiteral("padAfter"), task.rule->nPadAfter);
            json.insert(QStringLiteral("enabled"), task.rule->bEnabled);
            json.insert(QStringLiteral("keepLast"), task.rule->nKeepLast);
            json.insert(QStringLiteral("keepDays"), task.rule->nKeepDays);
        }
        array.append(json);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

bool CScriptInterface::Answer(CRadioController::EResult eResult, const std::string& strWhy) {
    m_bus.Refresh();
    const char* pError = nullptr;
    std::string strMessage = strWhy;
    switch (eResult) {
        case CRadioController::EResult::Done:
            return true;
        case CRadioController::EResult::ReceiverAbsent:
            pError = kErrorReceiverAbsent;
            if (strMessage.empty()) {
                strMessage = "the receiver is not plugged in";
            }
            break;
        case CRadioController::EResult::Refused:
            pError = kErrorRefused;
            break;
        case CRadioController::EResult::BadValue:
            pError = kErrorBadValue;
            break;
    }
    if (calledFromDBus()) {
        sendErrorReply(QString::fromLatin1(pError),
                       Text(strMessage.empty() ? "refused" : strMessage));
    }
    return false;
}

void CScriptInterface::Tune(const QString& strFrequency) {
    std::string strWhy;
    const auto eResult = m_bus.Controller().Tune(strFrequency.toStdString(), strWhy);
    Answer(eResult, strWhy);
}

QString CScriptInterface::RecallPreset(int nSlot, QString& strNote) {
    std::string strWhy;
    std::string strTunedNote;
    const auto eResult = m_bus.Controller().RecallPreset(nSlot, strWhy, strTunedNote);
    if (!Answer(eResult, strWhy)) {
        return {};
    }
    strNote = Text(strTunedNote);
    return Text(m_bus.Current().strChannelText);
}

QString CScriptInterface::Seek(const QString& strDirection) {
    if (strDirection != QLatin1String("up") && strDirection != QLatin1String("down")) {
        Answer(CRadioController::EResult::BadValue, "a seek goes up or down");
        return {};
    }
    if (!Answer(m_bus.Controller().Seek(strDirection == QLatin1String("up")), {})) {
        return {};
    }
    if (!calledFromDBus()) {
        return Text(m_bus.Current().strChannelText);
    }
    setDelayedReply(true);
    m_seekCalls.push_back(message());
    m_seekWatch.start();
    return {};
}

void CScriptInterface::AnswerSeeks() {
    if (m_bus.Controller().IsSeeking()) {
        return;
    }
    m_seekWatch.stop();
    const QString strChannel = Text(m_bus.Current().strChannelText);
    for (const QDBusMessage& call : std::exchange(m_seekCalls, {})) {
        m_bus.Send(call.createReply(strChannel));
    }
}

QString CScriptInterface::StartRecording(qlonglong nSeconds) {
    if (nSeconds < 0) {
        Answer(CRadioController::EResult::BadValue, "a recording's length cannot be negative");
        return {};
    }
    std::string strWhy;
    const auto eResult = m_bus.Controller().StartRecording(nSeconds, strWhy);
    if (!Answer(eResult, strWhy)) {
        return {};
    }
    return Text(m_bus.Current().strRecordFile);
}

QString CScriptInterface::StopRecording() {
    const auto eResult = m_bus.Controller().StopRecording();
    if (!Answer(eResult, "no recording is running")) {
        return {};
    }
    return Text(m_bus.Current().strRecordFile);
}

QString CScriptInterface::State() {
    return StateJson(m_bus.Current());
}

QString CScriptInterface::ListTasks() {
    std::vector<STaskInfo> tasks;
    std::string strWhy;
    if (!m_bus.Controller().Tasks(tasks, strWhy)) {
        Answer(CRadioController::EResult::Refused, strWhy);
        return {};
    }
    return TasksJson(tasks);
}

int CScriptInterface::AddRepeatingTask(const QString& strBegin, const QString& strEnd,
                                       const QString& strChannel, const QString& strMemo,
                                       const QString& strRepeat, const QString& strUntil,
                                       int nTimes, int nPadBefore, int nPadAfter, int nKeepLast,
                                       int nKeepDays) {
    int nId = 0;
    std::string strWhy;
    const CRadioController::SRepeat repeat{strRepeat.toStdString(),
                                           strUntil.toStdString(),
                                           nTimes,
                                           nPadBefore,
                                           nPadAfter,
                                           nKeepLast,
                                           nKeepDays};
    const auto eResult = m_bus.Controller().AddTask(strBegin.toStdString(), strEnd.toStdString(),
                                                    strChannel.toStdString(), strMemo.toStdString(),
                                                    repeat, nId, strWhy);
    Answer(eResult, strWhy);
    return nId;
}

int CScriptInterface::AddTask(const QString& strBegin, const QString& strEnd,
                              const QString& strChannel, const QString& strMemo) {
    int nId = 0;
    std::string strWhy;
    const auto eResult =
        m_bus.Controller().AddTask(strBegin.toStdString(), strEnd.toStdString(),
                                   strChannel.toStdString(), strMemo.toStdString(), nId, strWhy);
    Answer(eResult, strWhy);
    return nId;
}
