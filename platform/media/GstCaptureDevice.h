#pragma once

#include <memory>

#include "platform/media/GstCaptureSource.h"
#include "platform/media/MediaDevice.h"

// A capture device of a GStreamer-based back-end: it binds to a capture
// source for one graph. Null when the device cannot be bound (gone).
class CGstCaptureDevice : public CMediaDevice {
public:
    virtual std::unique_ptr<CGstCaptureSource> Bind() const = 0;
};
