#pragma once

#include "presets/PresetEntry.h"

class CRadioCore;
class CRecorder;

// What remote control drives: the main window when there is one, otherwise a
// run with no window. Each operation does what the same click would do there,
// so that the window's banner, keypad and buttons follow a remote command.
//
// UI thread only.
class CControlTarget {
public:
    virtual ~CControlTarget() = default;

    virtual CRadioCore& Core() = 0;
    virtual CRecorder& Recorder() = 0;
    // Recalls a preset as its keypad button would.
    virtual void Recall(const PresetEntry& entry) = 0;
    // Switches the band as its band button would (the band's own frequency is
    // tuned).
    virtual void SetBand(int nBand) = 0;
    // Tunes a frequency of the current band as a channel step would.
    virtual void Tune(unsigned nFrequency) = 0;
    // Starts a seek as the seek buttons would.
    virtual void Seek(int nDirection) = 0;
    // Starts or stops a recording as the record button would; false when the
    // start failed (the recorder has said why).
    virtual bool StartRecording() = 0;
    virtual void StopRecording() = 0;
    // Shows the radio's window; nothing without one.
    virtual bool CanRaise() const { return false; }
    virtual void Raise() {}
};
