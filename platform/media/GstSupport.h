#pragma once

// Shared GStreamer plumbing of the media back-ends: one-time initialisation,
// owning pointers for GStreamer objects, bus waits and the default output.

#include <gst/gst.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/media/CaptureGraph.h"

struct SGstObjectUnref {
    void operator()(gpointer p) const { gst_object_unref(p); }
};
struct SGstMessageUnref {
    void operator()(GstMessage* p) const { gst_message_unref(p); }
};
struct SGstCapsUnref {
    void operator()(GstCaps* p) const { gst_caps_unref(p); }
};
struct SGFree {
    void operator()(gpointer p) const { g_free(p); }
};

template <typename T>
using GstObjectPtr = std::unique_ptr<T, SGstObjectUnref>;
using GstElementPtr = GstObjectPtr<GstElement>;
using GstMessagePtr = std::unique_ptr<GstMessage, SGstMessageUnref>;
using GstCapsPtr = std::unique_ptr<GstCaps, SGstCapsUnref>;
using GCharPtr = std::unique_ptr<gchar, SGFree>;

// gst_init, once per process; safe from any thread.
void EnsureGstInit();

// A new element of the factory, its floating reference sunk: the caller owns
// it. Null when the factory is not installed.
GstElementPtr MakeOwnedElement(const char* factory, const char* name = nullptr);

// Waits on the element's bus for a message of the given types (an error ends
// the wait too); null on time-out. Other messages are traced and dropped.
GstMessagePtr WaitForBusMessage(GstElement* pipeline, GstMessageType types,
                                std::chrono::milliseconds timeout);

// Drops every message waiting on the bus; returns the text of the first
// error among them (empty when none), tracing every error and warning.
std::string DrainBus(GstElement* pipeline);

// Traces an error or a warning message; other messages are not traced.
void TraceBusMessage(GstMessage* message);

// The text of an error message: "error text (debug detail)".
std::string ErrorText(GstMessage* message);

// Raw interleaved PCM caps of the format; null for formats without a raw
// GStreamer equivalent (bits other than 8, 16, 24, 32).
GstCapsPtr AudioCapsFor(const SAudioFormat& format);

// The default audio output: the first of the desktop's outputs that opens,
// else (or when bRealOutput is false) a null sink that keeps to the clock.
GstElementPtr MakeDefaultAudioSink(bool bRealOutput);

// Seconds to GStreamer time and back.
GstClockTime SecondsToClockTime(double dSeconds);
double ClockTimeToSeconds(gint64 nTime);
