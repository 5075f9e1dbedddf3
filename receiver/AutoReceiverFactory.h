#pragma once

#include <vector>

#include "receiver/AutoReceiver.h"
#include "receiver/ReceiverFactory.h"

// Makes the receiver that becomes whichever kind is plugged in, the kinds
// looked at in the order given.
class CAutoReceiverFactory : public CReceiverFactory {
public:
    explicit CAutoReceiverFactory(std::vector<CReceiverFactory*> factories)
        : m_factories(std::move(factories)) {}

    std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) override {
        return std::make_unique<CAutoReceiver>(m_factories, profile, clock);
    }

private:
    std::vector<CReceiverFactory*> m_factories;
};
