#pragma once

#include <memory>

class CClock;
class CProfile;
class CReceiver;

// Makes the receiver of a run, chosen once at start-up (CBackends) or laid
// out by a test.
//
// Contract: UI thread. The profile and the clock outlive the receiver made.
class CReceiverFactory {
public:
    virtual ~CReceiverFactory() = default;

    virtual std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) = 0;
};
