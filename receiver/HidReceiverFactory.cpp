#include "receiver/HidReceiverFactory.h"

#include "receiver/HidReceiver.h"

std::unique_ptr<CReceiver> CHidReceiverFactory::Create(CProfile& profile, CClock& clock) {
    return std::make_unique<CHidReceiver>(m_hid, profile, clock);
}
