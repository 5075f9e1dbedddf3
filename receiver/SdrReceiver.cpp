#include "receiver/SdrReceiver.h"

#include "platform/profile/Settings.h"

namespace {

constexpr int kStandardUsa = 2;

}  // namespace

CSdrReceiver::CSdrReceiver(const SSdrReceiverServices& services, CProfile& profile, CClock& clock)
    : m_radios(
          services.sdr,
          [&profile] { return CSettings(profile).Standard() == kStandardUsa ? 75.0 : 50.0; },
          services.dSampleRate),
      m_receiver(SV4l2ReceiverServices{m_radios, m_radios, services.output}, profile, clock) {}

CSdrReceiver::~CSdrReceiver() {
    m_receiver.JoinSeek();
    m_receiver.Close();
}
