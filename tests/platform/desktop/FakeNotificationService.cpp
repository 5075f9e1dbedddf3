#include "tests/platform/desktop/FakeNotificationService.h"

#include <QDBusConnection>

CFakeNotificationService::CFakeNotificationService(const QString& strAddress,
                                                   QStringList capabilities)
    : m_strConnection(QStringLiteral("fake-notifications")),
      m_capabilities(std::move(capabilities)) {
    QDBusConnection connection = QDBusConnection::connectToBus(strAddress, m_strConnection);
    m_bServing = connection.isConnected() &&
                 connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                           QDBusConnection::ExportAllSlots) &&
                 connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

CFakeNotificationService::~CFakeNotificationService() {
    QDBusConnection::disconnectFromBus(m_strConnection);
}

QStringList CFakeNotificationService::GetCapabilities() {
    return m_capabilities;
}

uint CFakeNotificationService::Notify(const QString& strAppName, uint, const QString& strIcon,
                                      const QString& strSummary, const QString& strBody,
                                      const QStringList&, const QVariantMap& hints, int) {
    m_received.push_back({strAppName, strIcon, strSummary, strBody, hints});
    if (m_bRefusing) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("refused by the test"));
        return 0;
    }
    return static_cast<uint>(m_received.size());
}
