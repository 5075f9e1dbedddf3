#pragma once

#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

#include "control/RadioController.h"

class CControlBus;

// Kestrel's own interface for scripts (io.github.kestrelradio.Kestrel1). A
// command that cannot be done answers with an error whose name says why
// (ReceiverAbsent, Refused, BadValue) and whose message says it in words.
class CScriptInterface : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.kestrelradio.Kestrel1")

public:
    static constexpr const char* kErrorReceiverAbsent =
        "io.github.kestrelradio.Kestrel1.Error.ReceiverAbsent";
    static constexpr const char* kErrorRefused = "io.github.kestrelradio.Kestrel1.Error.Refused";
    static constexpr const char* kErrorBadValue = "io.github.kestrelradio.Kestrel1.Error.BadValue";

    explicit CScriptInterface(CControlBus& bus);

    // The state as JSON, as the command line's --status prints it.
    static QString StateJson(const SRadioState& state);
    // The scheduled recordings as a JSON array, as --tasks prints them.
    static QString TasksJson(const std::vector<STaskInfo>& tasks);
    // What a band scan found and stored, as --scan prints it.
    static QString ScanJson(const CRadioController::SScanResult& result);

public Q_SLOTS:
    void Tune(const QString& strFrequency);
    // Returns the channel tuned ("FM 80.00MHz"); strNote says why it is not
    // the preset's own frequency, empty when it is.
    QString RecallPreset(int nSlot, QString& strNote);
    // "up" or "down". Answers when the seek has ended, with the channel it
    // ended on.
    QString Seek(const QString& strDirection);
    // nSeconds 0 records until stopped. Returns the file recorded to.
    QString StartRecording(qlonglong nSeconds);
    // Returns the file of the recording that was stopped.
    QString StopRecording();
    QString State();
    QString ListTasks();
    // BEGIN and END as "2026-12-24 18:00", local time; the channel as for
    // Tune. Returns the new task's number.
    int AddTask(const QString& strBegin, const QString& strEnd, const QString& strChannel,
                const QString& strMemo);
    // AddTask with a repeat ("daily", "weekly", "weekdays", "every:N",
    // "mon,wed,fri"; empty once), its last day ("2027-03-31"; empty none),
    // at most nTimes occurrences (0 no limit), minutes of padding, and the
    // recordings it keeps: the last nKeepLast, those of the last nKeepDays
    // days (0 keeps all).
    int AddRepeatingTask(const QString& strBegin, const QString& strEnd, const QString& strChannel,
                         const QString& strMemo, const QString& strRepeat, const QString& strUntil,
                         int nTimes, int nPadBefore, int nPadAfter, int nKeepLast, int nKeepDays);
    // A band scan: strBand "FM", "AM" or empty (the current band); strStore
    // "free", "page" (the first) or "band" stores the stations, empty
    // stores nothing. Answers when the scan has ended, with ScanJson();
    // ScanProgress comes as it goes.
    QString Scan(const QString& strBand, const QString& strStore);
    // Ends a running scan; its caller hears what it found, nothing stored.
    void CancelScan();
    // The presets changed in the profile (another program, the command line).
    void PresetsChanged();

Q_SIGNALS:
    // strFrequency as the display shows it ("87.50MHz").
    void ScanProgress(int nChannel, int nChannels, const QString& strFrequency, int nFound);

private:
    // Sends the error of a result that is not Done; true when it was Done.
    bool Answer(CRadioController::EResult eResult, const std::string& strWhy);
    // Answers the callers of Seek whose seek has ended.
    void AnswerSeeks();

    // Tells the scan's progress and answers its callers once it ended.
    void WatchScan();

    CControlBus& m_bus;
    std::vector<QDBusMessage> m_seekCalls;
    QTimer m_seekWatch;
    std::vector<QDBusMessage> m_scanCalls;
    std::optional<CScanPlacement::EMode> m_scanStore;
    SScanProgress m_toldProgress;
    QTimer m_scanWatch;
};
