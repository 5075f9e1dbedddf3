#include "platform/media/SimMediaServices.h"

#include <set>

#include "platform/audio/AudioFeed.h"
#include "platform/media/CaptureFaultSwitch.h"
#include "platform/media/FeedAudioStream.h"
#include "platform/media/FeedCaptureDevice.h"
#include "platform/media/GstCaptureDevice.h"
#include "platform/media/GstCaptureGraph.h"
#include "platform/media/GstPlaybackGraph.h"
#include "platform/media/GstRendererDevice.h"

struct SSimMediaState {
    std::vector<SSimCaptureDevice> devices;
    std::vector<std::vector<bool>> inputStates;  // per device, per pin
    std::vector<std::string> renderers;
    bool bEnumeratorAvailable = true;
    std::set<std::string, std::less<>> missingElements;
    // A feed nobody writes stands for no receiver: silence, in real time.
    std::shared_ptr<CAudioFeed> pFeed = std::make_shared<CAudioFeed>(CAudioFeed::SFormat{44100, 2});
    bool bRealOutput = true;
    SSimCaptureRequest lastCapture;
    std::string lastRenderer;
    // Shared with every capture graph made, running ones included.
    std::shared_ptr<SCaptureFaultSwitch> pFaults = std::make_shared<SCaptureFaultSwitch>();

    bool IsLaidOut(size_t nDevice, const std::string& strName) const {
        return nDevice < devices.size() && devices[nDevice].strName == strName;
    }
};

namespace {

constexpr SAudioFormat kNativeFormat{44100, 2, 44100 * 4, 16, 4};

class CSimSource : public CGstCaptureSource {
public:
    CSimSource(std::shared_ptr<SSimMediaState> pState, size_t nDevice,
               std::unique_ptr<CFeedAudioStream> pStream)
        : m_pState(std::move(pState)), m_nDevice(nDevice), m_pStream(std::move(pStream)) {}

    GstElement* Element() const override { return m_pStream->Element(); }
    SAudioFormat NativeFormat() const override { return kNativeFormat; }

    MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) override {
        if (m_nDevice >= m_pState->devices.size()) {
            return E_FAIL;
        }
        pins.clear();
        for (const SSimPin& pin : m_pState->devices[m_nDevice].pins) {
            pins.push_back({!pin.bDirectionFails, pin.eDirection, !pin.bNameFails,
                            pin.bNameFails ? std::string() : pin.strName});
        }
        return S_OK;
    }

    // Counts input pins as the pin enumeration would find them: a pin that
    // cannot tell its direction is no input pin.
    MediaStatus EnableInput(int nInput, bool bEnable) override {
        if (m_nDevice >= m_pState->devices.size()) {
            return E_FAIL;
        }
        const std::vector<SSimPin>& pins = m_pState->devices[m_nDevice].pins;
        int nSeen = 0;
        for (size_t nPin = 0; nPin < pins.size(); ++nPin) {
            const SSimPin& pin = pins[nPin];
            if (pin.bDirectionFails || pin.eDirection != EPinDirection::Input ||
                nSeen++ != nInput) {
                continue;
            }
            if (!pin.bSwitchable) {
                return E_NOINTERFACE;
            }
            m_pState->inputStates[m_nDevice][nPin] = bEnable;
            return S_OK;
        }
        return E_FAIL;
    }

    void Prepare(const SAudioFormat* pFormat, const SCaptureBuffering* pBuffering) override {
        const SAudioFormat format = pFormat ? *pFormat : kNativeFormat;
        m_pStream->Configure(&format);

        SSimCaptureRequest& request = m_pState->lastCapture;
        request.strDevice = m_nDevice < m_pState->devices.size()
                                ? m_pState->devices[m_nDevice].strName
                                : std::string();
        request.format = pFormat ? std::optional(*pFormat) : std::nullopt;
        request.buffering = pBuffering ? std::optional(*pBuffering) : std::nullopt;
    }

private:
    std::shared_ptr<SSimMediaState> m_pState;
    size_t m_nDevice;
    std::unique_ptr<CFeedAudioStream> m_pStream;
};

class CSimCapture : public CGstCaptureDevice {
public:
    CSimCapture(std::shared_ptr<SSimMediaState> pState, size_t nDevice, std::string strName)
        : m_pState(std::move(pState)), m_nDevice(nDevice), m_strName(std::move(strName)) {}

    const std::string& DisplayName() const override { return m_strName; }

    // A device laid out anew since the enumeration is gone.
    std::unique_ptr<CGstCaptureSource> Bind() const override {
        if (!m_pState->IsLaidOut(m_nDevice, m_strName)) {
            return nullptr;
        }
        auto pStream = CFeedAudioStream::Create(m_pState->pFeed, "Audio Capture");
        if (!pStream) {
            return nullptr;
        }
        return std::make_unique<CSimSource>(m_pState, m_nDevice, std::move(pStream));
    }

private:
    std::shared_ptr<SSimMediaState> m_pState;
    size_t m_nDevice;
    std::string m_strName;
};

// A simulated output plays where the default output plays.
class CSimRenderer : public CGstRendererDevice {
public:
    CSimRenderer(std::shared_ptr<SSimMediaState> pState, std::string strName)
        : m_pState(std::move(pState)), m_strName(std::move(strName)) {}

    const std::string& DisplayName() const override { return m_strName; }

    GstElementPtr CreateSink() const override {
        m_pState->lastRenderer = m_strName;
        return MakeDefaultAudioSink(m_pState->bRealOutput);
    }

private:
    std::shared_ptr<SSimMediaState> m_pState;
    std::string m_strName;
};

}  // namespace

CSimMediaServices::CSimMediaServices() : m_pState(std::make_shared<SSimMediaState>()) {
    EnsureGstInit();
    SetCaptureDevices({DefaultCaptureDevice()});
    SetRenderers({DefaultCaptureDevice().strName});
}

CSimMediaServices::~CSimMediaServices() = default;

SSimCaptureDevice CSimMediaServices::DefaultCaptureDevice() {
    return {"Kestrel Simulated Sound Card",
            {{"Mic"}, {"Line"}, {"CD"}, {"Capture", EPinDirection::Output}}};
}

bool CSimMediaServices::EnumerateCaptureDevices(MediaDeviceList& devices) {
    if (!m_pState->bEnumeratorAvailable) {
        return false;
    }
    devices.clear();
    for (size_t n = 0; n < m_pState->devices.size(); ++n) {
        devices.push_back(std::make_shared<CSimCapture>(m_pState, n, m_pState->devices[n].strName));
    }
    return true;
}

bool CSimMediaServices::EnumerateRenderers(MediaDeviceList& renderers) {
    if (!m_pState->bEnumeratorAvailable) {
        return false;
    }
    renderers.clear();
    for (const std::string& name : m_pState->renderers) {
        renderers.push_back(std::make_shared<CSimRenderer>(m_pState, name));
    }
    return true;
}

std::unique_ptr<CCaptureGraph> CSimMediaServices::CreateCaptureGraph() {
    std::set<std::string, std::less<>> missing = m_pState->missingElements;
    return CGstCaptureGraph::Create(
        [missing = std::move(missing)](const char* factory, const char* name) -> GstElementPtr {
            if (missing.contains(factory)) {
                return nullptr;
            }
            return MakeOwnedElement(factory, name);
        },
        m_pState->pFaults);
}

std::unique_ptr<CPlaybackGraph> CSimMediaServices::CreatePlaybackGraph() {
    m_pState->lastRenderer.clear();
    const bool bRealOutput = m_pState->bRealOutput;
    return std::make_unique<CGstPlaybackGraph>(
        [bRealOutput] { return MakeDefaultAudioSink(bRealOutput); });
}

void CSimMediaServices::SetCaptureDevices(std::vector<SSimCaptureDevice> devices) {
    m_pState->devices = std::move(devices);
    m_pState->inputStates.clear();
    for (const SSimCaptureDevice& device : m_pState->devices) {
        std::vector<bool> states;
        for (const SSimPin& pin : device.pins) {
            states.push_back(!pin.bDirectionFails && pin.eDirection == EPinDirection::Input);
        }
        m_pState->inputStates.push_back(std::move(states));
    }
}

void CSimMediaServices::SetRenderers(std::vector<std::string> names) {
    m_pState->renderers = std::move(names);
}

void CSimMediaServices::SetEnumeratorAvailable(bool bAvailable) {
    m_pState->bEnumeratorAvailable = bAvailable;
}

void CSimMediaServices::SetElementMissing(const std::string& strFactory, bool bMissing) {
    if (bMissing) {
        m_pState->missingElements.insert(strFactory);
    } else {
        m_pState->missingElements.erase(strFactory);
    }
}

void CSimMediaServices::SetCaptureFeed(std::shared_ptr<CAudioFeed> pFeed) {
    m_pState->pFeed =
        pFeed ? std::move(pFeed) : std::make_shared<CAudioFeed>(CAudioFeed::SFormat{44100, 2});
}

std::shared_ptr<const CMediaDevice> CSimMediaServices::FeedDevice(
    std::shared_ptr<CAudioFeed> pFeed) {
    return std::make_shared<CFeedCaptureDevice>(std::move(pFeed));
}

void CSimMediaServices::SetRealAudioOutput(bool bReal) {
    m_pState->bRealOutput = bReal;
}

void CSimMediaServices::SetDiskFull(bool bFull) {
    m_pState->pFaults->bDiskFull = bFull;
}

bool CSimMediaServices::FailRecording(ECaptureFault eFault) {
    if (eFault == ECaptureFault::None || m_pState->pFaults->nRunning == 0) {
        return false;
    }
    m_pState->pFaults->eNextFault = eFault;
    return true;
}

std::vector<bool> CSimMediaServices::InputStates(int nDevice) const {
    if (nDevice < 0 || static_cast<size_t>(nDevice) >= m_pState->inputStates.size()) {
        return {};
    }
    return m_pState->inputStates[static_cast<size_t>(nDevice)];
}

SSimCaptureRequest CSimMediaServices::LastCaptureRequest() const {
    return m_pState->lastCapture;
}

std::string CSimMediaServices::LastRenderer() const {
    return m_pState->lastRenderer;
}
