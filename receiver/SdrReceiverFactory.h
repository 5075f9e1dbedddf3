#pragma once

#include "receiver/ReceiverFactory.h"
#include "receiver/SdrReceiver.h"

// Makes the SDR receiver on the given services (SoapySDR's, or the
// simulated ones). The services outlive the factory and what it makes.
class CSdrReceiverFactory : public CReceiverFactory {
public:
    explicit CSdrReceiverFactory(const SSdrReceiverServices& services) : m_services(services) {}

    std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) override {
        return std::make_unique<CSdrReceiver>(m_services, profile, clock);
    }

private:
    SSdrReceiverServices m_services;
};
