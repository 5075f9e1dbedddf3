#pragma once

#include "platform/mixer/MixerServices.h"

class CFdWatcher;

// The sound cards as mixer devices, through the ALSA simple mixer. Each card
// is one device, named by its mixer name (its card name when that is empty).
// Destination 0 is the speakers mix: the "Master" playback element, with the
// card's other playback elements (Line, Mic, CD, PCM...) as its sources.
// Destination 1 is the capture side (DST_WAVEIN): the "Capture" element and
// the card's other capture elements as sources. A line has a VOLUME control
// where its element has a volume and a MUTE control where it has a switch
// (switch off = muted). A machine without sound cards has no devices.
//
// Change notices: a handle opened with a notify target watches a control
// interface of its own through the fd watcher, so that the callback never
// shares an ALSA object with the UI thread.
class CAlsaMixerServices : public CMixerServices {
public:
    // The watcher must outlive every handle opened with a notify target.
    explicit CAlsaMixerServices(CFdWatcher& watcher);

    uint32_t GetNumDevs() override;
    bool GetDevCaps(int nDeviceID, SMixerCaps& caps) override;
    std::unique_ptr<CMixerHandle> Open(int nDeviceID, CMessageTarget* pNotify) override;

private:
    CFdWatcher& m_watcher;
};
