#include "platform/media/GstMediaServices.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/media/AlsaCaptureInputs.h"
#include "platform/media/FeedCaptureDevice.h"
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

struct SCtlClose {
    void operator()(snd_ctl_t* p) const { snd_ctl_close(p); }
};
struct SCardInfoFree {
    void operator()(snd_ctl_card_info_t* p) const { snd_ctl_card_info_free(p); }
};

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

// The PCM device number of an ALSA element ("hw:1,0", "plughw:CARD=x,DEV=2"
// and the like); 0 where it names none.
int AlsaPcmOf(GstDevice* pDevice) {
    GstElement* pElement = gst_device_create_element(pDevice, nullptr);
    if (!pElement) {
        return 0;
    }
    GstElementPtr pOwned(GST_ELEMENT(gst_object_ref_sink(pElement)));
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(pElement), "device")) {
        return 0;
    }
    gchar* pName = nullptr;
    g_object_get(pElement, "device", &pName, nullptr);
    GCharPtr pOwnedName(pName);
    const std::string strName = pName ? pName : "";
    const size_t nAt = strName.find_last_of(",=");
    return nAt == std::string::npos ? 0 : std::atoi(strName.c_str() + nAt + 1);
}

// The name the mixer back-end gives a card: its mixer name, or its card name
// where that is empty. Empty when the card cannot be asked.
std::string CardMixerName(int nCard) {
    snd_ctl_t* pRawCtl = nullptr;
    if (snd_ctl_open(&pRawCtl, ("hw:" + std::to_string(nCard)).c_str(), 0) < 0) {
        return {};
    }
    const std::unique_ptr<snd_ctl_t, SCtlClose> pCtl(pRawCtl);
    snd_ctl_card_info_t* pRawInfo = nullptr;
    if (snd_ctl_card_info_malloc(&pRawInfo) != 0) {
        return {};
    }
    const std::unique_ptr<snd_ctl_card_info_t, SCardInfoFree> pInfo(pRawInfo);
    if (snd_ctl_card_info(pCtl.get(), pInfo.get()) != 0) {
        return {};
    }
    const std::string strName = snd_ctl_card_info_get_mixername(pInfo.get());
    return strName.empty() ? snd_ctl_card_info_get_name(pInfo.get()) : strName;
}

// A device of a sound card goes by its card's mixer name, so that the card
// chosen in the mixer (the options dialog stores that name) is recorded, and
// played to; other devices keep their own.
std::string NameOf(GstDevice* pDevice) {
    if (const std::optional<int> card = AlsaCardOf(pDevice)) {
        if (std::string strName = CardMixerName(*card); !strName.empty()) {
            return strName;
        }
    }
    return DisplayNameOf(pDevice);
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
        : m_pDevice(std::move(pDevice)), m_strName(NameOf(m_pDevice.get())) {}

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
        : m_pDevice(std::move(pDevice)), m_strName(NameOf(m_pDevice.get())) {}

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
    // Cards in their order and each card's PCM devices in theirs: a name
    // that several devices of one card share picks the card's first, the one
    // its mixer's capture inputs feed. The rest keep the monitor's order.
    struct SEntry {
        int nCard;
        int nPcm;
        std::shared_ptr<Device> pDevice;
    };
    std::vector<SEntry> entries;
    for (GList* pItem = pList; pItem; pItem = pItem->next) {
        // The list's references pass to the device objects.
        GstDevicePtr pDevice(GST_DEVICE(pItem->data));
        const std::optional<int> card = AlsaCardOf(pDevice.get());
        const int nPcm = card ? AlsaPcmOf(pDevice.get()) : 0;
        entries.push_back(
            {card.value_or(INT_MAX), nPcm, std::make_shared<Device>(std::move(pDevice))});
    }
    g_list_free(pList);
    std::stable_sort(entries.begin(), entries.end(), [](const SEntry& a, const SEntry& b) {
        return a.nCard != b.nCard ? a.nCard < b.nCard : a.nPcm < b.nPcm;
    });
    for (SEntry& entry : entries) {
        devices.push_back(std::move(entry.pDevice));
    }
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

std::shared_ptr<const CMediaDevice> CGstMediaServices::FeedDevice(
    std::shared_ptr<CAudioFeed> pFeed) {
    return std::make_shared<CFeedCaptureDevice>(std::move(pFeed));
}
