#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "receiver/ReceiverFactory.h"
#include "tests/receiver/ScriptedReceiver.h"

// Makes the scripted receiver for a core, and keeps the last one within the
// test's reach.
class CScriptedReceiverFactory : public CReceiverFactory {
public:
    explicit CScriptedReceiverFactory(std::vector<SScriptedStation> stations)
        : m_stations(std::move(stations)) {}

    std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) override {
        auto pReceiver = std::make_unique<CScriptedReceiver>(profile, clock, m_stations);
        m_pMade = pReceiver.get();
        return pReceiver;
    }
    CScriptedReceiver* Made() const { return m_pMade; }

private:
    std::vector<SScriptedStation> m_stations;
    CScriptedReceiver* m_pMade = nullptr;
};
