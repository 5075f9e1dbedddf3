#include "receiver/SdrReceiver.h"

#include "platform/profile/Settings.h"
#include "receiver/SdrRadio.h"

namespace {

constexpr int kStandardUsa = 2;

// The Americas: 75 us and 10 kHz; Europe and Japan: 50 us and 9 kHz.
SSdrRadioConfig Configured(const CSettings& settings) {
    const bool bUsa = settings.Standard() == kStandardUsa;
    SSdrRadioConfig config;
    config.dDeemphasisUs = bUsa ? 75.0 : 50.0;
    config.dAmChannelHz = bUsa ? 10'000 : 9000;
    config.gainDb = settings.SdrGain();
    config.dCorrectionPpm = settings.SdrCorrection();
    config.dUpconverterHz = settings.SdrUpconverter();
    return config;
}

}  // namespace

CSdrReceiver::CSdrReceiver(const SSdrReceiverServices& services, CProfile& profile, CClock& clock)
    : m_radios(
          services.sdr, [&profile] { return Configured(CSettings(profile)); },
          services.dSampleRate),
      m_receiver(SV4l2ReceiverServices{m_radios, m_radios, services.output}, profile, clock) {}

CSdrReceiver::~CSdrReceiver() {
    m_receiver.JoinSeek();
    m_receiver.Close();
}
