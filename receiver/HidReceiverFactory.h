#pragma once

#include "receiver/ReceiverFactory.h"

class CHidServices;

// Makes the HID receiver on the given HID services (hidraw, or the simulated
// ones). The services outlive the factory and what it makes.
class CHidReceiverFactory : public CReceiverFactory {
public:
    explicit CHidReceiverFactory(CHidServices& hid) : m_hid(hid) {}

    std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) override;

private:
    CHidServices& m_hid;
};
