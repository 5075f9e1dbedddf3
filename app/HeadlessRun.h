#pragma once

#include <QObject>
#include <QTimer>

#include "core/RadioCore.h"
#include "core/Recorder.h"
#include "mixer/MixerLine.h"
#include "platform/instance/SingleInstance.h"
#include "platform/window/qt/QtMessageTarget.h"

class CProfile;

// A scheduled recording made with no screen: the core and the recorder of
// the window, the same file name, row and end time, but no window and no
// message box (they go to the log). It records its task and any task handed
// over while it runs, and ends when nothing is left to record.
//
// Runs on the thread of the Qt event loop; the services and the profile must
// outlive it.
class CHeadlessRun : public QObject, private CRecorder::CObserver {
    Q_OBJECT

public:
    CHeadlessRun(const SRadioServices& services, CProfile& profile, QObject* pParent = nullptr);
    ~CHeadlessRun() override;

    // Opens the core (its parts nParts, CRadioCore::EParts), the band plan
    // and the mixer, with no task.
    void Open(unsigned nParts = CRadioCore::kAllParts);
    // Opens the core and starts the task. False when nothing records now (the
    // outcome is kept); otherwise Finished() comes once nothing records.
    bool Start(int nTask);
    // A task handed over by a later start.
    void StartTask(int nTask);
    // Ends a recording that still runs (the process is asked to stop).
    void Stop();
    bool IsRecording() const { return m_recorder.IsRecording(); }
    CRadioCore& Core() { return m_core; }
    CRecorder& Recorder() { return m_recorder; }
    // How a run answers later starts while it claims the radio: a task is
    // handed to the run in *ppRun (taken while there is none yet); a start
    // without a task wants the window, so the run gives way and goes on
    // recording until its task ends.
    static CSingleInstance::Handler LaterStarts(CHeadlessRun* const* ppRun);
    // The outcome of the last task: 0 recorded (wholly or in part), 1 failed,
    // 2 missed, as the process's exit status.
    int ExitCode() const { return m_nExitCode; }

Q_SIGNALS:
    void Finished();

private:
    intptr_t OnMessage(uint32_t message, uintptr_t wParam);
    void RecordingStopped() override;
    void MuteOutput() override;
    void TaskEnded(const STaskOutcome& outcome) override;
    // Finished() once nothing records, after the handlers of this turn (a
    // task that stops one recording starts the next).
    void FinishWhenIdle();

    const SRadioServices m_services;
    CQtMessageTarget m_target;
    CMixerLine m_masterMute;
    CRadioCore m_core;
    CRecorder m_recorder;
    QTimer m_recordTimer;
    int m_nExitCode = 1;
};
