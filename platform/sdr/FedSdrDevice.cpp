#include "platform/sdr/FedSdrDevice.h"

CFedSdrDevice::CFedSdrDevice(double dSampleRate) : m_dRate(dSampleRate) {
    m_info.strId = "fed:1";
    m_info.strName = "Hand-fed dongle";
    m_info.strDriver = "fed";
}

bool CFedSdrDevice::Feed(std::span<const std::complex<float>> iq, uint64_t nLost) {
    if (!m_onIq) {
        return false;
    }
    m_onIq(iq, nLost);
    return true;
}

bool CFedSdrDevice::SetCenter(double dHz, std::string&) {
    m_dCenter = dHz;
    return true;
}

bool CFedSdrDevice::Start(IqHandler onIq, FailureHandler, std::string&) {
    m_onIq = std::move(onIq);
    return true;
}
