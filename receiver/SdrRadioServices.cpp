#include "receiver/SdrRadioServices.h"

#include "receiver/SdrRadio.h"

namespace {

constexpr const char* kPrefix = "sdr:";

}  // namespace

// Attaches the feed to the radio's audio for as long as it lives.
class CSdrRadioServices::CCapture : public CAudioCapture {
public:
    CCapture(std::shared_ptr<SSdrAudioSlot> pSlot, std::shared_ptr<CAudioFeed> pFeed)
        : m_pSlot(std::move(pSlot)) {
        std::lock_guard lock(m_pSlot->mutex);
        m_pSlot->pFeed = std::move(pFeed);
    }
    ~CCapture() override {
        std::lock_guard lock(m_pSlot->mutex);
        m_pSlot->pFeed.reset();
    }

private:
    std::shared_ptr<SSdrAudioSlot> m_pSlot;
};

CSdrRadioServices::CSdrRadioServices(CSdrServices& sdr, Config config, double dSampleRate)
    : m_sdr(sdr),
      m_config(std::move(config)),
      m_dSampleRate(dSampleRate),
      m_pGaps(std::make_shared<SSdrGapCount>()) {}

SReceiverGaps CSdrRadioServices::Gaps() const {
    return {m_pGaps->nGaps.load(), m_pGaps->nFrames.load()};
}

CSdrRadioServices::~CSdrRadioServices() = default;

std::vector<SV4l2Device> CSdrRadioServices::Enumerate() {
    std::vector<SV4l2Device> radios;
    for (const SSdrDeviceInfo& dongle : m_sdr.Enumerate()) {
        SV4l2Device radio;
        radio.strNode = dongle.strId;
        radio.strName = dongle.strName.empty() ? dongle.strId : dongle.strName;
        radio.strId = dongle.strId;
        radio.strCaptureDevice = kPrefix + dongle.strId;
        radios.push_back(std::move(radio));
    }
    return radios;
}

std::unique_ptr<CV4l2Radio> CSdrRadioServices::Open(const SV4l2Device& device,
                                                    std::string& strWhy) {
    for (const SSdrDeviceInfo& dongle : m_sdr.Enumerate()) {
        if (dongle.strId != device.strId) {
            continue;
        }
        std::unique_ptr<CSdrDevice> pDevice = m_sdr.Open(dongle, m_dSampleRate, strWhy);
        if (!pDevice) {
            return nullptr;
        }
        std::unique_ptr<CSdrRadio> pRadio =
            CSdrRadio::Open(std::move(pDevice), m_config(), strWhy, m_pGaps);
        if (pRadio) {
            m_slots[device.strCaptureDevice] = pRadio->AudioSlot();
        }
        return pRadio;
    }
    strWhy = device.strId + ": the dongle is gone";
    return nullptr;
}

std::unique_ptr<CAudioCapture> CSdrRadioServices::Start(const std::string& strDevice,
                                                        std::shared_ptr<CAudioFeed> pFeed,
                                                        FailureHandler, std::string& strWhy) {
    const auto it = m_slots.find(strDevice);
    std::shared_ptr<SSdrAudioSlot> pSlot = it == m_slots.end() ? nullptr : it->second.lock();
    if (!pSlot) {
        strWhy = strDevice + ": the dongle is not open";
        return nullptr;
    }
    return std::make_unique<CCapture>(std::move(pSlot), std::move(pFeed));
}
