#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/SleepInhibition.h"
#include "presets/ChannelWord.h"
#include "presets/PresetEntry.h"
#include "receiver/Receiver.h"
#include "schedule/TaskOutcome.h"
#include "schedule/TaskOutcomes.h"

class CRadioCore;

// The recording road, with or without a window: starts and stops the radio's
// recordings (by hand or for a scheduled task), ends a scheduled one at its
// end time or when the recorder fails, and keeps each scheduled task's
// outcome. The main window, a run with no screen and later remote control
// all go through these operations; none of them touches the core's
// recording fields.
//
// UI thread only (the thread of the core). The core and the observer must
// outlive the recorder.
class CRecorder {
public:
    // What the recorder tells whoever shows the radio.
    class CObserver {
    public:
        virtual ~CObserver() = default;
        virtual void RecordingStarted() {}
        // The recording is stopped and catalogued.
        virtual void RecordingStopped() {}
        // A scheduled start set the band, channel flag and frequency; entry is
        // the preset it tuned, if the frequency has one.
        virtual void TaskTuned(const std::optional<PresetEntry>& /*entry*/) {}
        // The task asks for the sound card's output to be muted.
        virtual void MuteOutput() {}
        // A scheduled task has its outcome (also kept in the data source).
        virtual void TaskEnded(const STaskOutcome& /*outcome*/) {}
    };

    CRecorder(CRadioCore& core, CObserver& observer);
    ~CRecorder();

    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // A recording started by hand. False when it did not start; the user has
    // been told why.
    bool Start();
    // Ends the running recording and catalogues it; nothing when none runs.
    // A scheduled one that had not reached its end is kept as partly recorded
    // for strReasonKey (a message key).
    void Stop(const char* pReasonKey = kStoppedByHand);
    bool IsRecording() const;
    bool IsScheduled() const;

    // The scheduled start of a task (the work item fired, or a later start
    // handed it over): the channel of its row tuned, recorded to its end.
    void StartTask(int nTask);
    // Called while recording (every tick of the recording timer): ends a
    // scheduled recording at its end time. Returns whether one still runs.
    bool Tick();
    // The recorder posted WM_GRAPH_NOTIFY: a recording it ended by itself is
    // stopped at once.
    void OnGraphNotify();
    // The receiver came or went.
    void OnDeviceChange(bool bPresent);

    // The next scheduled start checks that its row was made in this data
    // source (the id its work item carries); empty checks nothing.
    void SetExpectedDataSource(std::string strId) { m_strExpectedSource = std::move(strId); }

    static constexpr const char* kStoppedByHand = "MESSAGE_43";
    static constexpr const char* kStoppedForTask = "MESSAGE_44";
    static constexpr const char* kStoppedByClosing = "MESSAGE_45";
    // The summaries of the desktop notifications of a recording.
    static constexpr const char* kStartedSummary = "MESSAGE_60";
    static constexpr const char* kFinishedSummary = "MESSAGE_61";
    static constexpr const char* kFailedSummary = "MESSAGE_62";

private:
    // A scheduled task under way: what its outcome will say.
    struct STaskRun {
        int nTask = 0;
        std::string strNotes;   // a late start, the receiver unplugged, space short
        bool bPartial = false;  // the notes make it a partial recording
    };

    std::string Text(const char* pKey) const;
    // A message the user must see: a box in the window, the log in a run with
    // no screen; one about a task also goes to standard error.
    void Report(const std::string& strText);
    // The message for a recording the recorder ended by itself; empty when
    // it did not.
    std::string FaultText() const;
    std::string GapsNote() const;
    void TuneTask(CChannelWord word);
    std::string FreeSpaceNote(std::time_t end) const;
    void EndTask(int nTask, STaskOutcome::EKind eKind, const std::string& strReason,
                 bool bKeep = true);
    void FinishTask(const char* pReasonKey, const std::string& strFault);
    void ForgetUnstartedTask();
    void DeleteWorkItem(int nTask);
    // A repeating task moves on to its next occurrence as this one starts.
    struct SSeriesStep {
        bool bMoved = false;  // the task's work item is now the next occurrence's
        std::string strNote;  // for the outcome, when it could not move on
    };
    SSeriesStep ContinueSeries(int nTask, std::time_t tCurrent);
    // The work item of the task running now, unless it is the next occurrence's.
    void DeleteRunningWorkItem();
    void Notify(const STaskOutcome& outcome);
    void NotifyStopped(const std::string& strFault, const std::string& strGaps);
    void NotifyRecording(const char* pSummaryKey, const std::string& strBody,
                         ENotificationUrgency urgency);

    CRadioCore& m_core;
    CObserver& m_observer;
    CTaskOutcomes m_outcomes;
    std::optional<STaskRun> m_task;
    SReceiverGaps m_gapsAtStart;  // the receiver's count when the recording started
    // Keeps the machine awake while a recording runs.
    CSleepInhibition m_awake;
    std::string m_strExpectedSource;
    // The running task's work item is its next occurrence's.
    bool m_bSeriesMoved = false;
};
