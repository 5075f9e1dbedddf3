#pragma once

#include <map>
#include <mutex>

#include "platform/v4l2/SimV4l2Control.h"

// One simulated radio's state, shared by the back-end and the handles open
// on it; its lock guards every field.
struct SSimV4l2State {
    mutable std::mutex mutex;
    SSimV4l2Layout layout;
    bool bPlugged = true;
    uint32_t nTunedHz = 0;
    bool bMuted = false;
    int nVolume = 50;
    int nOpenHandles = 0;
    int nSeeksStarted = 0;
    std::map<CSimV4l2Control::ECall, std::pair<EV4l2Status, int>> failures;

    // The failure set for the call, counted down; Ok when none. Locked.
    EV4l2Status TakeFailure(CSimV4l2Control::ECall eCall);
    // The nearest station and how far off it is tuned. Locked.
    const SSimV4l2Station* Nearest(uint32_t nHz, uint32_t& nOffHz) const;
    // The band holding nHz, or null. Locked.
    const SV4l2Band* BandOf(uint32_t nHz) const;
    SV4l2Signal SignalAt(uint32_t nHz) const;
};
