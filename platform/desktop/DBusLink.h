#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>
#include <string>

// One private connection to a message bus, made when it is first needed and
// made again once the bus has gone away, so that a desktop service survives
// a bus that starts late or restarts. It also keeps the trace to one line per
// outage: a session without the bus is not flooded with the same complaint.
//
// UI thread only; needs the QCoreApplication.
class CDBusLink {
public:
    // strAddress: the bus's D-Bus address; empty for the bus of that type as
    // the session's environment names it.
    CDBusLink(QDBusConnection::BusType type, std::string strAddress);
    ~CDBusLink();

    CDBusLink(const CDBusLink&) = delete;
    CDBusLink& operator=(const CDBusLink&) = delete;

    // The connection, or nothing with the reason in strWhy.
    std::optional<QDBusConnection> Connection(std::string& strWhy);

    // Traces the fault unless one was traced since the last Working().
    void Fault(const std::string& strWhat);
    void Working() { m_bFaultTold = false; }

private:
    void Drop();

    QDBusConnection::BusType m_type;
    std::string m_strAddress;
    QString m_strName;
    bool m_bOpened = false;
    bool m_bFaultTold = false;
};
