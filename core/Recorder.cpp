#include "core/Recorder.h"

#include <sys/statvfs.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "core/RadioCore.h"
#include "core/Retention.h"
#include "platform/clock/Clock.h"
#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/SleepInhibitor.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/names/KestrelNames.h"
#include "platform/profile/Profile.h"
#include "platform/trace/Trace.h"
#include "schedule/ScheduleBridge.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSeries.h"

namespace {

constexpr const char* kTag = "recorder";
// Rows hold whole minutes and the scheduler starts the program within the
// begin minute: later than that is a late start.
constexpr std::time_t kLateAfter = 60;

constexpr const char* kReceiverAbsent = "MESSAGE_40";
constexpr const char* kMissed = "MESSAGE_41";
// A repeating task whose next occurrence could not be scheduled.
constexpr const char* kSeriesStopped = "MESSAGE_75";
// The older recordings a task's retention took away.
constexpr const char* kRetentionRemoved = "MESSAGE_77";
constexpr const char* kStartedLate = "MESSAGE_42";
constexpr const char* kReceiverUnplugged = "MESSAGE_46";
constexpr const char* kAudioGaps = "MESSAGE_53";
constexpr const char* kSpaceShort = "MESSAGE_47";
constexpr const char* kNoRow = "MESSAGE_48";

std::string Replace(std::string strText, const std::string& strField, const std::string& strValue) {
    if (const size_t n = strText.find(strField); n != std::string::npos) {
        strText.replace(n, strField.size(), strValue);
    }
    return strText;
}

std::string Joined(const std::string& strFirst, const std::string& strSecond) {
    if (strFirst.empty() || strSecond.empty()) {
        return strFirst + strSecond;
    }
    return strFirst + " " + strSecond;
}

// Bytes a second of recording takes in the format and quality of the profile.
// FLAC is counted as the PCM it may not shrink.
std::uint64_t BytesPerSecond(const CSettings& settings) {
    const int nQuality = settings.Quality();
    constexpr std::uint64_t kWavRates[] = {11025, 22050, 44100};
    constexpr std::uint64_t kWmaRates[] = {64000, 96000, 128000};
    constexpr std::uint64_t kMp3Rates[] = {128000, 192000, 256000};
    const size_t n = nQuality >= 0 && nQuality <= 2 ? static_cast<size_t>(nQuality) : 2;
    switch (settings.RecordFormat()) {
        case ERecordFormat::Wav:
        case ERecordFormat::Flac:
            return kWavRates[n] * 4;
        case ERecordFormat::Mp3:
            return kMp3Rates[n] / 8;
        case ERecordFormat::Wma:
        case ERecordFormat::Opus:
            break;
    }
    return kWmaRates[n] / 8;
}

// Free bytes where the folder is or, while it does not exist yet, where it
// will be made.
std::optional<std::uint64_t> FreeBytes(std::filesystem::path folder) {
    std::error_code error;
    while (!folder.empty() && !std::filesystem::exists(folder, error)) {
        folder = folder.parent_path();
    }
    struct statvfs info {};
    if (folder.empty() || ::statvfs(folder.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace

CRecorder::CRecorder(CRadioCore& core, CObserver& observer)
    : m_core(core), m_observer(observer), m_outcomes(core.Services().database) {}

CRecorder::~CRecorder() = default;

bool CRecorder::IsRecording() const {
    return m_core.Recording() != 0;
}

bool CRecorder::IsScheduled() const {
    return m_core.Scheduled() != 0;
}

std::string CRecorder::Text(const char* pKey) const {
    return m_core.Message(pKey);
}

void CRecorder::Report(const std::string& strText) {
    if (m_task) {
        std::fprintf(stderr, "kestrel: scheduled task %d: %s\n", m_task->nTask, strText.c_str());
    }
    m_core.Services().messageBoxes.Show(m_core.MainWindow(), strText, CRadioCore::kCaption,
                                        CMessageBoxes::EIcon::Error);
}

bool CRecorder::Start() {
    if (IsRecording()) {
        return true;
    }
    if (!m_task) {
        m_core.SetTaskMemo({});  // a recording of one's own has no task's memo
    }
    if (!m_core.StartRecording()) {
        const std::string strWhy = Text(m_core.StartFailureKey().c_str());
        Report(strWhy);
        // A scheduled one is told by its outcome.
        if (!m_task) {
            NotifyRecording(kFailedSummary, strWhy, ENotificationUrgency::Critical);
        }
        return false;
    }
    m_gapsAtStart = m_core.ReceiverGaps();
    m_awake = m_core.Services().sleepInhibitor.Inhibit("Recording " + m_core.Channel());
    m_observer.RecordingStarted();
    if (!m_task) {
        NotifyRecording(kStartedSummary, m_core.Channel() + "\n" + m_core.RecordFile(),
                        ENotificationUrgency::Low);
    }
    return true;
}

void CRecorder::Stop(const char* pReasonKey) {
    if (!IsRecording()) {
        return;
    }
    m_core.StopRecording();
    m_awake.Release();
    m_observer.RecordingStopped();
    const std::string strFault = FaultText();
    if (!strFault.empty()) {
        KestrelTrace(kTag, "the recording failed: %s",
                     m_core.AudioGraph().RecordFaultDetail().c_str());
        Report(strFault);
    }
    const std::string strGaps = GapsNote();
    if (m_task) {
        m_task->strNotes = Joined(m_task->strNotes, strGaps);
    } else {
        NotifyStopped(strFault, strGaps);
    }
    FinishTask(pReasonKey, strFault);
}

// The receiver's audio lost on the way during the recording: the file
// keeps its length with silence, and the user is told how much.
std::string CRecorder::GapsNote() const {
    const SReceiverGaps now = m_core.ReceiverGaps();
    // A receiver made afresh (another kind plugged in) counts from zero.
    const bool bRestarted = now.nGaps < m_gapsAtStart.nGaps;
    const uint64_t nGaps = bRestarted ? now.nGaps : now.nGaps - m_gapsAtStart.nGaps;
    const uint64_t nFrames = bRestarted ? now.nFrames : now.nFrames - m_gapsAtStart.nFrames;
    if (nGaps == 0) {
        return {};
    }
    char seconds[32];
    std::snprintf(seconds, sizeof(seconds), "%.1f", static_cast<double>(nFrames) / 48000);
    return Replace(Replace(Text(kAudioGaps), "{count}", std::to_string(nGaps)), "{seconds}",
                   seconds);
}

std::string CRecorder::FaultText() const {
    const CAudioGraph& graph = m_core.AudioGraph();
    switch (graph.RecordFault()) {
        case ECaptureFault::None:
            return {};
        case ECaptureFault::DiskFull:
            return Text(graph.RecordFileKept() ? "MESSAGE_14" : "MESSAGE_24");
        case ECaptureFault::DeviceLost:
            return Text(graph.RecordFileKept() ? "MESSAGE_23" : "MESSAGE_24");
        case ECaptureFault::WriteError:
            break;
    }
    return Text(graph.RecordFileKept() ? "MESSAGE_15" : "MESSAGE_24");
}

bool CRecorder::Tick() {
    if (!IsRecording()) {
        return false;
    }
    if (m_core.Scheduled() && m_core.Services().clock.Now() >= m_core.ScheduledEnd()) {
        DeleteRunningWorkItem();
        Stop(nullptr);
    }
    return IsRecording();
}

void CRecorder::OnGraphNotify() {
    if (!IsRecording() || m_core.AudioGraph().RecordFault() == ECaptureFault::None) {
        return;  // a notice of a recording already stopped
    }
    if (m_core.Scheduled()) {
        DeleteRunningWorkItem();
    }
    Stop(nullptr);
}

void CRecorder::OnDeviceChange(bool bPresent) {
    if (bPresent || !IsRecording() || !m_task) {
        return;
    }
    m_task->strNotes = Joined(m_task->strNotes, Text(kReceiverUnplugged));
    m_task->bPartial = true;
}

void CRecorder::DeleteRunningWorkItem() {
    if (!m_bSeriesMoved) {
        DeleteWorkItem(m_core.TaskNumber());
    }
}

CRecorder::SSeriesStep CRecorder::ContinueSeries(int nTask, std::time_t tCurrent) {
    CTaskRules rules(m_core.Services().database);
    CScheduleBridge bridge(m_core.Services().scheduler);
    CTaskSeries series(rules, bridge, m_core.Services().database, m_core.StartFolder());
    switch (series.Advance(nTask, tCurrent, m_core.Services().clock.Now())) {
        case CTaskSeries::EAdvance::Moved:
            return {true, {}};
        case CTaskSeries::EAdvance::Failed:
            return {false, Text(kSeriesStopped)};
        case CTaskSeries::EAdvance::Single:
        case CTaskSeries::EAdvance::Ended:
            break;
    }
    return {};
}

void CRecorder::DeleteWorkItem(int nTask) {
    CScheduleBridge bridge(m_core.Services().scheduler);
    bridge.m_strOwner = m_core.DataSourceId();
    bridge.DeleteWorkItem(KestrelNames::WorkItemName(nTask));
}

// Only a recording started here is a scheduled one: a flag left set without
// it would end the user's next recording at an end time of 0.
void CRecorder::ForgetUnstartedTask() {
    if (!IsRecording()) {
        m_core.SetScheduled(0);
    }
}

void CRecorder::StartTask(int nTask) {
    // A job made for another data source (or a database made anew since) does
    // not name a row here.
    const std::string strExpected = std::exchange(m_strExpectedSource, {});
    const bool bOwnRow = strExpected.empty() || strExpected == m_core.DataSourceId();
    if (!m_core.DevicePresent()) {
        ForgetUnstartedTask();
        std::string strSeries;
        std::time_t end = 0;
        if (bOwnRow && m_core.TaskSet().GetEndTime(nTask, end)) {
            strSeries = ContinueSeries(nTask, m_core.TaskSet().m_BeginTime).strNote;
        }
        EndTask(nTask, STaskOutcome::EKind::Failed,
                Joined(Joined(Text(kReceiverAbsent), m_core.ReceiverRefusal()), strSeries));
        return;
    }
    if (!bOwnRow) {
        ForgetUnstartedTask();
        const char* pWhy = m_core.TaskSet().IsOpen() ? kNoRow : "MESSAGE_5";
        EndTask(nTask, STaskOutcome::EKind::Failed, Text(pWhy), false);
        return;
    }
    DeleteWorkItem(nTask);
    std::time_t end = 0;
    // A task without its row (a stale job, a mistyped number) leaves a running
    // recording alone.
    if (!m_core.TaskSet().GetEndTime(nTask, end)) {
        ForgetUnstartedTask();
        const std::string strWhy = m_core.TaskSet().IsOpen() ? Text(kNoRow) : Text("MESSAGE_5");
        EndTask(nTask, STaskOutcome::EKind::Failed, strWhy, false);
        return;
    }
    const std::time_t begin = m_core.TaskSet().m_BeginTime;
    const std::uint32_t nWord = CTaskSet::ChannelWord(m_core.TaskSet().m_Channel);
    const std::string strMemo = m_core.TaskSet().m_Memo;
    const std::time_t now = m_core.Services().clock.Now();
    // Before anything is recorded: a missed or failed occurrence must not stop the next.
    const SSeriesStep series = ContinueSeries(nTask, begin);
    const std::string& strSeries = series.strNote;
    if (now >= end) {
        ForgetUnstartedTask();
        EndTask(nTask, STaskOutcome::EKind::Missed, Joined(Text(kMissed), strSeries));
        return;
    }
    Stop(kStoppedForTask);
    m_bSeriesMoved = series.bMoved;
    m_core.SetScheduledEnd(end);
    m_core.SetTaskNumber(nTask);
    TuneTask(CChannelWord(nWord));

    STaskRun run{nTask, Joined(FreeSpaceNote(end), strSeries), false};
    if (now > begin + kLateAfter) {
        const std::string strMinutes = std::to_string((now - begin) / 60);
        run.strNotes = Joined(Replace(Text(kStartedLate), "{minutes}", strMinutes), run.strNotes);
        run.bPartial = true;
    }
    m_task = run;
    m_core.SetTaskMemo(strMemo);  // before the start: the file's tags carry it
    if (!Start()) {
        const std::string strWhy = Text(m_core.StartFailureKey().c_str());
        m_task.reset();
        m_core.SetScheduled(0);
        EndTask(nTask, STaskOutcome::EKind::Failed, Joined(strWhy, strSeries));
        return;
    }
    m_core.SetScheduled(1);
}

void CRecorder::TuneTask(CChannelWord word) {
    if (word.Mute()) {
        m_observer.MuteOutput();
    }
    m_observer.TaskTuned(m_core.TuneChannel(word));
}

// A recording that will not fit still runs, to stop cleanly when the disk is
// full; its outcome says so beforehand.
std::string CRecorder::FreeSpaceNote(std::time_t end) const {
    const std::time_t now = m_core.Services().clock.Now();
    const std::uint64_t nNeeded =
        static_cast<std::uint64_t>(end - now) * BytesPerSecond(m_core.Settings());
    const std::optional<std::uint64_t> free = FreeBytes(m_core.RecordFolder());
    const std::uint64_t nReserve = m_core.AudioGraph().FreeSpaceReserve();
    if (!free || *free >= nNeeded + nReserve) {
        return {};
    }
    const std::uint64_t nUsable = *free > nReserve ? *free - nReserve : 0;
    constexpr std::uint64_t kMegabyte = 1024 * 1024;
    std::string strNote = Replace(Text(kSpaceShort), "{needed}",
                                  std::to_string((nNeeded + kMegabyte - 1) / kMegabyte));
    strNote = Replace(strNote, "{free}", std::to_string(nUsable / kMegabyte));
    std::fprintf(stderr, "kestrel: %s\n", strNote.c_str());
    return strNote;
}

// The end of a scheduled recording: recorded when it ran from its begin to
// its end, partly recorded when it started late, lost the receiver or was
// stopped early, failed when it left no file.
void CRecorder::FinishTask(const char* pReasonKey, const std::string& strFault) {
    if (!m_task) {
        return;
    }
    const STaskRun run = *m_task;
    m_task.reset();
    const bool bReachedEnd = m_core.Services().clock.Now() >= m_core.ScheduledEnd();
    STaskOutcome::EKind eKind = STaskOutcome::EKind::Recorded;
    std::string strReason = run.strNotes;
    if (!m_core.AudioGraph().RecordFileKept()) {
        eKind = STaskOutcome::EKind::Failed;
        strReason = Joined(strFault, strReason);
    } else if (!strFault.empty()) {
        eKind = STaskOutcome::EKind::Partial;
        strReason = Joined(strFault, strReason);
    } else if (!bReachedEnd && pReasonKey) {
        eKind = STaskOutcome::EKind::Partial;
        strReason = Joined(Text(pReasonKey), strReason);
    } else if (run.bPartial) {
        eKind = STaskOutcome::EKind::Partial;
    }
    const CRetention::SResult kept =
        CRetention(m_core).Apply(run.nTask, m_core.Services().clock.Now());
    if (kept.nRemoved > 0) {
        strReason = Joined(
            strReason, Replace(Text(kRetentionRemoved), "{count}", std::to_string(kept.nRemoved)));
    }
    EndTask(run.nTask, eKind, strReason);
}

void CRecorder::EndTask(int nTask, STaskOutcome::EKind eKind, const std::string& strReason,
                        bool bKeep) {
    STaskOutcome outcome;
    outcome.nTask = nTask;
    outcome.eKind = eKind;
    outcome.strReason = strReason;
    outcome.ended = m_core.Services().clock.Now();
    const bool bRecorded =
        eKind == STaskOutcome::EKind::Recorded || eKind == STaskOutcome::EKind::Partial;
    if (bRecorded) {
        outcome.strFile = m_core.RecordFile();
        outcome.nSeconds = m_core.RecordedSeconds();
    }
    std::string strLine =
        "kestrel: scheduled task " + std::to_string(nTask) + " " + STaskOutcome::KindName(eKind);
    if (bRecorded) {
        strLine += ": " + outcome.strFile;
    }
    if (!strReason.empty()) {
        strLine += " (" + strReason + ")";
    }
    std::fprintf(stderr, "%s\n", strLine.c_str());
    if (bKeep) {
        if (const CStatus status = m_outcomes.Record(outcome); !status) {
            std::fprintf(stderr, "kestrel: the outcome of scheduled task %d is not kept: %s\n",
                         nTask, status.Message().c_str());
        }
    }
    Notify(outcome);
    m_observer.TaskEnded(outcome);
}

// A recording by hand (the window, a script, the command line): the file it
// left, or why it failed. A scheduled one has its outcome instead.
void CRecorder::NotifyStopped(const std::string& strFault, const std::string& strGaps) {
    const bool bKept = m_core.AudioGraph().RecordFileKept();
    std::string strFile;
    if (bKept) {
        strFile = m_core.RecordFile() + " (" +
                  CFileListSet::FormatDuration(m_core.RecordedSeconds()) + ")";
    }
    if (strFault.empty()) {
        NotifyRecording(kFinishedSummary, Joined(strFile, strGaps), ENotificationUrgency::Normal);
        return;
    }
    NotifyRecording(kFailedSummary, Joined(strFault, strFile), ENotificationUrgency::Critical);
}

void CRecorder::NotifyRecording(const char* pSummaryKey, const std::string& strBody,
                                ENotificationUrgency urgency) {
    m_core.Services().notifier.Notify(Text(pSummaryKey), strBody, urgency);
}

// The desktop tells a user who was away; without a notification service
// the outcome is still kept and logged.
void CRecorder::Notify(const STaskOutcome& outcome) {
    const char* pSummaryKey = "MESSAGE_49";
    auto urgency = ENotificationUrgency::Normal;
    switch (outcome.eKind) {
        case STaskOutcome::EKind::Recorded:
            break;
        case STaskOutcome::EKind::Partial:
            pSummaryKey = "MESSAGE_50";
            break;
        case STaskOutcome::EKind::Missed:
            pSummaryKey = "MESSAGE_51";
            urgency = ENotificationUrgency::Critical;
            break;
        case STaskOutcome::EKind::Failed:
            pSummaryKey = "MESSAGE_52";
            urgency = ENotificationUrgency::Critical;
            break;
    }
    std::string strBody = outcome.strReason;
    if (!outcome.strFile.empty()) {
        strBody = Joined(
            outcome.strFile + " (" + CFileListSet::FormatDuration(outcome.nSeconds) + ")", strBody);
    }
    m_core.Services().notifier.Notify(Text(pSummaryKey), strBody, urgency);
}
