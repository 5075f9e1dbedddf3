#include "platform/media/GstSupport.h"

#include <mutex>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";

const char* RawFormatName(int nBitsPerSample) {
    switch (nBitsPerSample) {
        case 8:
            return "U8";
        case 16:
            return "S16LE";
        case 24:
            return "S24LE";
        case 32:
            return "S32LE";
        default:
            return nullptr;
    }
}

}  // namespace

void TraceBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
            KestrelTrace(kTag, "error from %s: %s", GST_OBJECT_NAME(GST_MESSAGE_SRC(message)),
                         ErrorText(message).c_str());
            break;
        case GST_MESSAGE_WARNING: {
            GError* pError = nullptr;
            gst_message_parse_warning(message, &pError, nullptr);
            KestrelTrace(kTag, "warning from %s: %s", GST_OBJECT_NAME(GST_MESSAGE_SRC(message)),
                         pError ? pError->message : "");
            g_clear_error(&pError);
            break;
        }
        default:
            break;
    }
}

namespace {

// A sink opens its device on the way to READY; one that gets there can play.
bool SinkOpens(GstElement* pSink) {
    const bool bOpens = gst_element_set_state(pSink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
    gst_element_set_state(pSink, GST_STATE_NULL);
    return bOpens;
}

}  // namespace

void EnsureGstInit() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

GstElementPtr MakeOwnedElement(const char* factory, const char* name) {
    GstElement* pElement = gst_element_factory_make(factory, name);
    if (!pElement) {
        KestrelTrace(kTag, "element %s is not installed", factory);
        return nullptr;
    }
    return GstElementPtr(GST_ELEMENT(gst_object_ref_sink(pElement)));
}

std::string ErrorText(GstMessage* message) {
    GError* pError = nullptr;
    gchar* pDebug = nullptr;
    gst_message_parse_error(message, &pError, &pDebug);
    std::string text = pError ? pError->message : "unknown error";
    if (pDebug) {
        text += " (";
        text += pDebug;
        text += ")";
    }
    g_clear_error(&pError);
    g_free(pDebug);
    return text;
}

GstMessagePtr WaitForBusMessage(GstElement* pipeline, GstMessageType types,
                                std::chrono::milliseconds timeout) {
    GstObjectPtr<GstBus> pBus(gst_element_get_bus(pipeline));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const auto wanted =
        static_cast<GstMessageType>(types | GST_MESSAGE_ERROR | GST_MESSAGE_WARNING);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return nullptr;
        }
        GstMessagePtr pMessage(gst_bus_timed_pop_filtered(
            pBus.get(), static_cast<GstClockTime>(left.count()), wanted));
        if (!pMessage) {
            return nullptr;
        }
        TraceBusMessage(pMessage.get());
        if (GST_MESSAGE_TYPE(pMessage.get()) != GST_MESSAGE_WARNING) {
            return pMessage;
        }
    }
}

std::string DrainBus(GstElement* pipeline) {
    GstObjectPtr<GstBus> pBus(gst_element_get_bus(pipeline));
    std::string firstError;
    while (GstMessagePtr pMessage{gst_bus_pop(pBus.get())}) {
        TraceBusMessage(pMessage.get());
        if (firstError.empty() && GST_MESSAGE_TYPE(pMessage.get()) == GST_MESSAGE_ERROR) {
            firstError = ErrorText(pMessage.get());
        }
    }
    return firstError;
}

GstCapsPtr AudioCapsFor(const SAudioFormat& format) {
    const char* pName = RawFormatName(format.nBitsPerSample);
    if (!pName || format.nChannels <= 0 || format.nSamplesPerSec <= 0) {
        return nullptr;
    }
    return GstCapsPtr(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, pName, "layout",
                                          G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT,
                                          format.nSamplesPerSec, "channels", G_TYPE_INT,
                                          format.nChannels, nullptr));
}

GstElementPtr MakeDefaultAudioSink(bool bRealOutput) {
    if (bRealOutput) {
        for (const char* factory : {"pulsesink", "alsasink"}) {
            GstElementPtr pSink = MakeOwnedElement(factory);
            if (pSink && SinkOpens(pSink.get())) {
                return pSink;
            }
        }
        KestrelTrace(kTag, "no audio output opens; playing on the clock only");
    }
    GstElementPtr pNull = MakeOwnedElement("fakesink", "null output");
    if (pNull) {
        g_object_set(pNull.get(), "sync", TRUE, nullptr);
    }
    return pNull;
}

GstClockTime SecondsToClockTime(double dSeconds) {
    if (dSeconds <= 0.0) {
        return 0;
    }
    return static_cast<GstClockTime>(dSeconds * static_cast<double>(GST_SECOND));
}

double ClockTimeToSeconds(gint64 nTime) {
    return static_cast<double>(nTime) / static_cast<double>(GST_SECOND);
}
