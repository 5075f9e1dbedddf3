#pragma once

#include "platform/media/GstSupport.h"
#include "platform/media/MediaDevice.h"

// An audio output of a GStreamer-based back-end: it makes the sink element
// that plays to it. Null when the output cannot be opened (gone).
class CGstRendererDevice : public CMediaDevice {
public:
    virtual GstElementPtr CreateSink() const = 0;
};
