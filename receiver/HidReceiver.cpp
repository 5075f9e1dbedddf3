#include "receiver/HidReceiver.h"

#include <algorithm>

#include "platform/window/WindowMessages.h"

CHidReceiver::CHidReceiver(CHidServices& hid, CProfile& profile, CClock& clock)
    : m_tuner(profile, clock), m_device(hid) {
    m_tuner.SetDevice(&m_device);
}

CHidReceiver::~CHidReceiver() {
    m_tuner.JoinSeek();
}

int CHidReceiver::CountDevices() {
    return m_device.CountDevices();
}

bool CHidReceiver::Open(CMessageTarget* pWindow) {
    return m_device.Open(pWindow, WM_DEVICE_REPORT);
}

void CHidReceiver::Close() {
    m_device.Close();
}

void CHidReceiver::LoadBandPlan() {
    m_tuner.LoadBandPlan();
}

bool CHidReceiver::HasBand(int nBand) const {
    return nBand == BAND_AM || nBand == BAND_FM;
}

CTuningSteps CHidReceiver::Steps(int nBand) const {
    return m_tuner.Steps(nBand);
}

int CHidReceiver::Band() const {
    return m_tuner.Band();
}

void CHidReceiver::SetBand(int nBand) {
    m_tuner.SetBand(nBand);
}

unsigned CHidReceiver::Frequency(int nBand) const {
    return m_tuner.Frequency(nBand);
}

int CHidReceiver::ChannelFlag() const {
    return m_tuner.ChannelFlag();
}

// A preset's recall: the flag, then the frequency, the seek ended first so
// that it cannot step over them.
bool CHidReceiver::Tune(unsigned nFrequency, std::optional<int> channelFlag) {
    m_tuner.CancelSeek();
    if (channelFlag) {
        m_tuner.SetChannelFlag(*channelFlag);
    }
    m_tuner.SetCurrentFrequency(nFrequency);
    return m_tuner.StopSeek(nFrequency);
}

bool CHidReceiver::Retune() {
    return m_tuner.StopSeek(0);
}

bool CHidReceiver::StartSeek(int nDirection) {
    return m_tuner.StartSeek(nDirection);
}

void CHidReceiver::CancelSeek() {
    m_tuner.CancelSeek();
}

void CHidReceiver::JoinSeek() {
    m_tuner.JoinSeek();
}

bool CHidReceiver::IsSeeking() const {
    return m_tuner.HasSeekThread();
}

void CHidReceiver::SetMute(int nMute) {
    m_tuner.SetMute(nMute);
}

int CHidReceiver::Mute() const {
    return m_tuner.Mute();
}

bool CHidReceiver::BeginScan() {
    if (!m_device.IsOpen()) {
        return false;
    }
    m_tuner.BeginScan();
    return true;
}

// No RDS on this receiver: nothing to wait for.
std::optional<SChannelTest> CHidReceiver::TestChannel(unsigned nFrequency,
                                                      std::chrono::milliseconds) {
    const std::optional<CTuner::SStationTest> tested = m_tuner.TestChannel(nFrequency);
    if (!tested || !m_device.IsOpen()) {
        return std::nullopt;
    }
    SChannelTest test;
    test.bStation = tested->bStation;
    test.bStereo = tested->bStereo;
    if (test.bStation) {
        test.nSignal = std::clamp(m_tuner.Steps().SignalLevel(m_tuner.TuningOffset()), 0, 100);
    }
    return test;
}

void CHidReceiver::EndScan() {
    m_tuner.EndScan();
}

// The signal is the last measured station's offset inside the IF window.
SReceiverReading CHidReceiver::Reading() const {
    SReceiverReading reading;
    reading.nSignal = std::clamp(m_tuner.Steps().SignalLevel(m_tuner.TuningOffset()), 0, 100);
    reading.nChannelFlag = m_tuner.ChannelFlag();
    reading.bStereo = m_tuner.ChannelFlag() == 0;
    return reading;
}

void CHidReceiver::SetDisplay(CTextSink* pDisplay) {
    m_tuner.SetDisplay(pDisplay);
}
