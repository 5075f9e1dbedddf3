#pragma once

#include <QDBusConnection>
#include <QVariant>
#include <QVariantList>

#include <optional>
#include <string>

#include "platform/desktop/DBusLink.h"

// The command line's side of the script interface: finds the running copy
// on the session bus and calls it, turning its answers into exit statuses
// (KestrelExit) and messages.
//
// Needs the QCoreApplication; blocks while the running copy answers.
class CControlClient {
public:
    // strBusAddress: the session bus's D-Bus address; empty for the one the
    // environment names.
    explicit CControlClient(std::string strBusAddress = {});

    CControlClient(const CControlClient&) = delete;
    CControlClient& operator=(const CControlClient&) = delete;

    // Whether a copy of Kestrel serves its interface on the bus now.
    bool HasCopy();

    struct SReply {
        int nStatus = 0;      // a KestrelExit status
        QVariant value;       // the answer's first value, if any
        QVariantList values;  // all of them
        std::string strError;
    };
    // bServeEvents: this process's events are served while it waits (a quit
    // request that should cancel what the call started).
    SReply Call(const char* pMethod, const QVariantList& arguments = {}, bool bServeEvents = false);
    // A call may take as long as its work: a seek across the band, a
    // recording's start that waits for the running copy's message box.
    static constexpr int kCallTimeoutMs = 120 * 1000;

private:
    CDBusLink m_link;
    std::optional<QDBusConnection> m_connection;
};
