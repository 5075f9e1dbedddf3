#pragma once

#include "control/ControlTarget.h"

class CRadioDlg;

// Remote control of the main window: each command is the click of the button
// that does it there, so that the window's banner, keypad, band buttons and
// recording lamp follow.
//
// UI thread only. The window must outlive it.
class CWindowControl : public CControlTarget {
public:
    explicit CWindowControl(CRadioDlg& window) : m_window(window) {}

    CRadioCore& Core() override;
    CRecorder& Recorder() override;
    void Recall(const PresetEntry& entry) override;
    void SetBand(int nBand) override;
    void Tune(unsigned nFrequency) override;
    void Seek(int nDirection) override;
    bool StartRecording() override;
    void StopRecording() override;
    bool CanRaise() const override { return true; }
    void Raise() override;

private:
    void Click(int nButton);

    CRadioDlg& m_window;
};
