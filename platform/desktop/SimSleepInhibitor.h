#pragma once

#include <mutex>

#include "platform/desktop/SimSleepInhibitorControl.h"
#include "platform/desktop/SleepInhibitor.h"

// An inhibitor that holds nothing off but keeps count as logind does: a hold
// is the write end of a pipe whose read end stays here, so a hold is
// released exactly when every copy of its descriptor is closed.
class CSimSleepInhibitor : public CSleepInhibitor, public CSimSleepInhibitorControl {
public:
    CSleepInhibition Inhibit(const std::string& strWhy) override;

    std::vector<std::string> HeldReasons() override;
    void SetLogindAvailable(bool bAvailable) override;

private:
    struct SHold {
        std::string strWhy;
        CUniqueFd readEnd;
    };

    void Fault(const char* what);

    std::mutex m_mutex;
    std::vector<SHold> m_holds;
    bool m_bAvailable = true;
    bool m_bFaultTold = false;
};
