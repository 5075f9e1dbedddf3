#pragma once

#include <string>

#include "platform/desktop/DBusLink.h"
#include "platform/desktop/DesktopIdentity.h"
#include "platform/desktop/SleepInhibitor.h"

// Holds off sleep through systemd-logind on the system bus: a "block"
// inhibitor of "sleep", whose hold is the descriptor logind hands back.
// The descriptor is kept close-on-exec, so that a program Kestrel starts
// cannot keep the machine awake after Kestrel has let go.
class CLogindSleepInhibitor : public CSleepInhibitor {
public:
    // strBusAddress: the system bus's D-Bus address; empty for the machine's
    // own system bus.
    explicit CLogindSleepInhibitor(std::string strBusAddress = {}, SDesktopIdentity identity = {});

    CSleepInhibition Inhibit(const std::string& strWhy) override;

private:
    CDBusLink m_link;
    SDesktopIdentity m_identity;
};
