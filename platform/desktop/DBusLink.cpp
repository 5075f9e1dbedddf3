#include "platform/desktop/DBusLink.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QMetaType>

#include <atomic>

#include "platform/trace/Trace.h"

namespace {

std::atomic<int> g_nextLink{0};

// QtDBus's own thread hands a call's error on to the caller's thread as a
// QDBusError; Qt 6 registers that type only when first named, and a thread
// that needs it before then warns that it cannot build one (QTBUG-108822).
void RegisterTypes() {
    static const bool bRegistered = [] {
        qRegisterMetaType<QDBusError>();
        qRegisterMetaType<QDBusMessage>();
        return true;
    }();
    (void)bRegistered;
}

}  // namespace

CDBusLink::CDBusLink(QDBusConnection::BusType type, std::string strAddress)
    : m_type(type),
      m_strAddress(std::move(strAddress)),
      // Named per object: two links to the same bus must not share a
      // connection that either of them may drop.
      m_strName(QStringLiteral("kestrel-link-%1").arg(g_nextLink.fetch_add(1))) {
    RegisterTypes();
}

CDBusLink::~CDBusLink() {
    Drop();
}

void CDBusLink::Drop() {
    if (m_bOpened) {
        QDBusConnection::disconnectFromBus(m_strName);
        m_bOpened = false;
    }
}

std::optional<QDBusConnection> CDBusLink::Connection(std::string& strWhy) {
    // Without the application object QtDBus delivers no replies.
    if (!QCoreApplication::instance()) {
        strWhy = "no Qt application object";
        return std::nullopt;
    }
    if (m_bOpened) {
        QDBusConnection connection(m_strName);
        if (connection.isConnected()) {
            return connection;
        }
        Drop();
    }
    QDBusConnection connection =
        m_strAddress.empty()
            ? QDBusConnection::connectToBus(m_type, m_strName)
            : QDBusConnection::connectToBus(QString::fromStdString(m_strAddress), m_strName);
    m_bOpened = true;
    if (!connection.isConnected()) {
        const QDBusError error = connection.lastError();
        strWhy = error.isValid() ? error.message().toStdString() : "the bus cannot be reached";
        Drop();
        return std::nullopt;
    }
    return connection;
}

void CDBusLink::Fault(const std::string& strWhat) {
    if (m_bFaultTold) {
        return;
    }
    m_bFaultTold = true;
    KestrelTrace("desktop", "%s", strWhat.c_str());
}
