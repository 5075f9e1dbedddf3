#pragma once

#include <cstdint>
#include <memory>

#include "platform/mixer/MixerTypes.h"

class CMessageTarget;

// One open mixer device. Destroying it closes the device and ends its change
// notices: once the destructor has returned, nothing more is posted for it.
//
// Contract: used from the thread that opened it. Lines are addressed by index
// (nDestination, and nSource within that destination's nConnections); line
// and control identifiers stay valid for as long as the handle is open. A
// query that fails leaves the record in an unspecified state.
class CMixerHandle {
public:
    virtual ~CMixerHandle() = default;

    virtual bool GetDevCaps(SMixerCaps& caps) = 0;
    // Fills the line of destination line.nDestination.
    virtual bool GetLineInfoDestination(SMixerLine& line) = 0;
    // Fills source line.nSource of destination line.nDestination.
    virtual bool GetLineInfoSource(SMixerLine& line) = 0;
    // The first control of the given type on the line.
    virtual bool GetLineControlByType(uint32_t nLineID, uint32_t nControlType,
                                      SMixerControl& control) = 0;
    // Volumes read 0..65535, switches 0 or 1 (a mute reads 1 when muted).
    // details.values must hold nChannels × max(nMultipleItems, 1) values.
    virtual bool GetControlDetails(SMixerControlDetails& details) = 0;
    virtual bool SetControlDetails(const SMixerControlDetails& details) = 0;
};

// The audio mixer services: the mixer devices present and a way to open one.
//
// Contract: called from the UI thread. Device identifiers run from 0 to
// GetNumDevs() - 1 in a stable order while the set of devices stays the same.
// A handle opened with a notify target posts MM_MIXM_CONTROL_CHANGE (wParam =
// device identifier, lParam = the control's identifier, or 0 where the
// back-end cannot tell) to it whenever a value of any control of that device
// changes, whoever changed it; the target must outlive the handle. Handles
// must not outlive the services object that opened them.
class CMixerServices {
public:
    virtual ~CMixerServices() = default;

    virtual uint32_t GetNumDevs() = 0;
    virtual bool GetDevCaps(int nDeviceID, SMixerCaps& caps) = 0;
    // Null when the device does not exist or cannot be opened. pNotify may be
    // null: no notices.
    virtual std::unique_ptr<CMixerHandle> Open(int nDeviceID, CMessageTarget* pNotify) = 0;
};
