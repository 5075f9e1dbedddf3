#include "platform/media/GstMediaServices.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/media/AlsaCaptureInputs.h"
#include "platform/media/GstCaptureDevice.h"
#include "platform/media/GstCaptureGraph.h"
#include "platform/media/GstPlaybackGraph.h"
#include "platform/media/GstRendererDevice.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";
constexpr const char* kOutputPinName = "Capture";
// What a capture pin offers before a format is set: CD quality.
constexpr SAudioFormat kNativeFormat{44100, 2, 44100 * 4, 16, 4};

using GstDevicePtr = GstObjectPtr<GstDevice>;

std::string DisplayNameOf(GstDevice* pDevice) {
    GCharPtr pName(gst_device_get_display_name(pDevice));
    return pName ? pName.get() : "";
}

// The ALSA card behind a device: the ALSA provider gives it as a number, the
// PulseAudio and PipeWire ones as text.
std::optional<int> AlsaCardOf(GstDevice* pDevice) {
    GstStructure* pProperties = gst_device_get_properties(pDevice);
    if (!pProperties) {
        return std::nullopt;
    }
    std::optional<int> card;
    int nCard = -1;
    if (gst_structure_get_int(pProperties, "alsa.card", &nCard)) {
        card = nCard;
    } else if (const gchar* pText = gst_structure_get_string(pProperties, "alsa.card")) {
        char* pEnd = nullptr;
        const long nValue = std::strtol(pText, &pEnd, 10);
        if (pEnd != pText && *pEnd == '\0' && nValue >= 0) {
            card = static_cast<int>(nValue);
        }
    }
    gst_structure_free(pProperties);
    return card;
}

bool HasProperty(GstElement* pElement, const char* name) {
    return g_object_class_find_property(G_OBJECT_GET_CLASS(pElement), name) != nullptr;
}

class CDeviceSource : public CGstCaptureSource {
public:
    CDeviceSource(GstElementPtr pElement, std::optional<int> card)
        : m_pElement(std::move(pElement)), m_card(card) {}

    GstElement* Element() const override { return m_pElement.get(); }
    SAudioFormat NativeFormat() const override { return kNativeFormat; }

    MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) override {
        pins.clear();
        if (m_card) {
            for (std::string& name : CAlsaCaptureInputs(*m_card).Names()) {
                pins.push_back({true, EPinDirection::Input, true, std::move(name)});
            }
        }
        pins.push_back({true, EPinDirection::Output, true, kOutputPinName});
        return S_OK;
    }

    MediaStatus EnableInput(int nInput, bool bEnable) override {
        if (!m_card) {
            return E_FAIL;
        }
        return CAlsaCaptureInputs(*m_card).Enable(nInput, bEnable);
    }

    // Audio sources of GStreamer (GstAudioBaseSrc) take their buffering as
    // times: the segment (one buffer) and the whole ring buffer.
    void Prepare(const SAudioFormat* pFormat, const SCaptureBuffering* pBuffering) override {
        if (!pBuffering || !HasProperty(m_pElement.get(), "latency-time") ||
            !HasProperty(m_pElement.get(), "buffer-time")) {
            return;
        }
        const int nBytesPerSecond = (pFormat ? *pFormat : kNativeFormat).nAvgBytesPerSec;
        const gint64 nLatency =
            static_cast<gint64>(pBuffering->nBufferBytes) * 1000000 / std::max(nBytesPerSecond, 1);
        g_object_set(m_pElement.get(), "latency-time", nLatency, "buffer-time",
                     nLatency * pBuffering->nBuffers, nullptr);
    }

private:
    GstElementPtr m_pElement;
    std::optional<int> m_card;
};

class CMonitoredCapture : public CGstCaptureDevice {
public:
    explicit CMonitoredCapture(GstDevicePtr pDevice)
        : m_pDevice(std::move(pDevice)), m_strName(DisplayNameOf(m_pDevice.get())) {}

    const std::string& DisplayName() const override { return m_strName; }

    std::unique_ptr<CGstCaptureSource> Bind() const override {
        GstElement* pElement = gst_device_create_element(m_pDevice.get(), "Audio Capture");
        if (!pElement) {
            return nullptr;
        }
        return std::make_unique<CDeviceSource>(
            GstElementPtr(GST_ELEMENT(gst_object_ref_sink(pElement))), AlsaCardOf(m_pDevice.get()));
    }

private:
    GstDevicePtr m_pDevice;
    std::string m_strName;
};

class CMonitoredRenderer : public CGstRendererDevice {
public:
    explicit CMonitoredRenderer(GstDevicePtr pDevice)
        : m_pDevice(std::move(pDevice)), m_strName(DisplayNameOf(m_pDevice.get())) {}

    const std::string& DisplayName() const override { return m_strName; }

    GstElementPtr CreateSink() const override {
        GstElement* pElement = gst_device_create_element(m_pDevice.get(), nullptr);
        return pElement ? GstElementPtr(GST_ELEMENT(gst_object_ref_sink(pElement))) : nullptr;
    }

private:
    GstDevicePtr m_pDevice;
    std::string m_strName;
};

// The devices of one class, in the monitor's order; false when no device
// provider starts.
template <typename Device>
bool Enumerate(const char* deviceClass, MediaDeviceList& devices) {
    EnsureGstInit();
    GstObjectPtr<GstDeviceMonitor> pMonitor(
        GST_DEVICE_MONITOR(gst_object_ref_sink(gst_device_monitor_new())));
    gst_device_monitor_add_filter(pMonitor.get(), deviceClass, nullptr);
    if (!gst_device_monitor_start(pMonitor.get())) {
        KestrelTrace(kTag, "no device provider for %s starts", deviceClass);
        return false;
    }
    devices.clear();
    GList* pList = gst_device_monitor_get_devices(pMonitor.get());
    for (GList* pItem = pList; pItem; pItem = pItem->next) {
        // The list's references pass to the device objects.
        devices.push_back(std::make_shared<Device>(GstDevicePtr(GST_DEVICE(pItem->data))));
    }
    g_list_free(pList);
    gst_device_monitor_stop(pMonitor.get());
    return true;
}

}  // namespace

CGstMediaServices::CGstMediaServices() {
    EnsureGstInit();
}

bool CGstMediaServices::EnumerateCaptureDevices(MediaDeviceList& devices) {
    return Enumerate<CMonitoredCapture>("Audio/Source", devices);
}

bool CGstMediaServices::EnumerateRenderers(MediaDeviceList& renderers) {
    return Enumerate<CMonitoredRenderer>("Audio/Sink", renderers);
}

std::unique_ptr<CCaptureGraph> CGstMediaServices::CreateCaptureGraph() {
    return CGstCaptureGraph::Create(
        [](const char* factory, const char* name) { return MakeOwnedElement(factory, name); });
}

std::unique_ptr<CPlaybackGraph> CGstMediaServices::CreatePlaybackGraph() {
    return std::make_unique<CGstPlaybackGraph>([] { return MakeDefaultAudioSink(true); });
}
