#pragma once

#include "control/ControlTarget.h"

class CHeadlessRun;

// Remote control of a run with no window: the command line's verbs when no
// copy of Kestrel runs. Each command does what the window's would, without
// the window's banner and buttons.
//
// UI thread only. The run must outlive it.
class CHeadlessControl : public CControlTarget {
public:
    explicit CHeadlessControl(CHeadlessRun& run) : m_run(run) {}

    CRadioCore& Core() override;
    CRecorder& Recorder() override;
    void Recall(const PresetEntry& entry) override;
    void SetBand(int nBand) override;
    void Tune(unsigned nFrequency) override;
    void Seek(int nDirection) override;
    bool StartRecording() override;
    void StopRecording() override;

private:
    CHeadlessRun& m_run;
};
