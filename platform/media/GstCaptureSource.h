#pragma once

#include <gst/gst.h>

#include <vector>

#include "platform/media/CaptureGraph.h"

// Buffering asked of a capture source: so many buffers of so many bytes.
struct SCaptureBuffering {
    int nBuffers = 0;
    int nBufferBytes = 0;
    int nAlignment = 0;
};

// A capture source bound from a device, as the GStreamer capture graph uses
// it: the element that produces the audio and the card's recording inputs.
//
// Contract: owned by one capture graph; Element() stays valid for the
// source's life. Prepare() runs once, just before the graph starts, with the
// format and buffering asked for (either may be null: the source's own).
class CGstCaptureSource {
public:
    virtual ~CGstCaptureSource() = default;

    virtual GstElement* Element() const = 0;
    // The format output pin 0 reports before any is set.
    virtual SAudioFormat NativeFormat() const = 0;
    virtual MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) = 0;
    virtual MediaStatus EnableInput(int nInput, bool bEnable) = 0;
    virtual void Prepare(const SAudioFormat* pFormat, const SCaptureBuffering* pBuffering) = 0;
};
