#pragma once

#include "receiver/ReceiverFactory.h"
#include "receiver/V4l2Receiver.h"

// Makes the V4L2 receiver on the given services (the kernel's, or the
// simulated ones). The services outlive the factory and what it makes.
class CV4l2ReceiverFactory : public CReceiverFactory {
public:
    explicit CV4l2ReceiverFactory(const SV4l2ReceiverServices& services) : m_services(services) {}

    std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) override {
        return std::make_unique<CV4l2Receiver>(m_services, profile, clock);
    }

private:
    SV4l2ReceiverServices m_services;
};
