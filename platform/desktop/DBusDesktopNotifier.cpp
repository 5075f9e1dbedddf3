#include "platform/desktop/DBusDesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The bus daemon answers at once; a daemon that does not is taken as no bus.
constexpr int kBusTimeoutMs = 1000;
// Only the trace waits for the service's answers.
constexpr int kServiceTimeoutMs = 10000;

QDBusMessage BusCall(const QString& strMethod, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), strMethod);
    call.setArguments(arguments);
    return call;
}

unsigned char UrgencyHint(ENotificationUrgency urgency) {
    switch (urgency) {
        case ENotificationUrgency::Low:
            return 0;
        case ENotificationUrgency::Normal:
            return 1;
        case ENotificationUrgency::Critical:
            return 2;
    }
    return 1;
}

}  // namespace

CDBusDesktopNotifier::CDBusDesktopNotifier(std::string strBusAddress, SDesktopIdentity identity)
    : m_link(QDBusConnection::SessionBus, std::move(strBusAddress)),
      m_identity(std::move(identity)),
      m_pReplies(std::make_unique<QObject>()) {}

CDBusDesktopNotifier::~CDBusDesktopNotifier() {
    m_pReplies.reset();
}

bool CDBusDesktopNotifier::Notify(const std::string& strSummary, const std::string& strBody,
                                  ENotificationUrgency urgency) {
    std::string strWhy;
    std::optional<QDBusConnection> connection = m_link.Connection(strWhy);
    if (!connection) {
        m_link.Fault("no desktop notifications, the session bus is unavailable: " + strWhy);
        return false;
    }
    std::optional<QString> owner = ServiceOwner(*connection, strWhy);
    if (!owner) {
        m_link.Fault("no desktop notifications: " + strWhy);
        return false;
    }
    // Another service (or a restarted one) may read the body otherwise.
    if (m_markup != EMarkup::Asking && *owner != m_strMarkupOwner) {
        m_markup = EMarkup::Unknown;
    }
    const SNotification notification{QString::fromStdString(strSummary),
                                     QString::fromStdString(strBody), urgency};
    switch (m_markup) {
        case EMarkup::Unknown:
            m_strMarkupOwner = *owner;
            m_waiting.push_back(notification);
            AskCapabilities(*connection);
            break;
        case EMarkup::Asking:
            m_waiting.push_back(notification);
            break;
        case EMarkup::Escaped:
        case EMarkup::Plain:
            Send(*connection, notification);
            break;
    }
    return true;
}

std::optional<QString> CDBusDesktopNotifier::ServiceOwner(QDBusConnection& connection,
                                                          std::string& strWhy) {
    QDBusMessage reply = connection.call(BusCall(QStringLiteral("GetNameOwner"), {kService}),
                                         QDBus::Block, kBusTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        return reply.arguments().constFirst().toString();
    }
    if (reply.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        strWhy = "the session bus did not answer: " + reply.errorMessage().toStdString();
        return std::nullopt;
    }
    // Not running, but the bus may start it on the first call.
    reply = connection.call(BusCall(QStringLiteral("ListActivatableNames"), {}), QDBus::Block,
                            kBusTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
        reply.arguments().constFirst().toStringList().contains(kService)) {
        return QString();
    }
    strWhy = "no notification service on the session bus";
    return std::nullopt;
}

void CDBusDesktopNotifier::AskCapabilities(QDBusConnection& connection) {
    m_markup = EMarkup::Asking;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("GetCapabilities"));
    auto* pWatcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kServiceTimeoutMs),
                                                 m_pReplies.get());
    QObject::connect(pWatcher, &QDBusPendingCallWatcher::finished, m_pReplies.get(),
                     [this](QDBusPendingCallWatcher* pDone) {
                         pDone->deleteLater();
                         QDBusPendingReply<QStringList> reply = *pDone;
                         // A service that cannot tell is sent plain text.
                         const bool bMarkup = !reply.isError() &&
                                              reply.value().contains(QStringLiteral("body-markup"));
                         m_markup = bMarkup ? EMarkup::Escaped : EMarkup::Plain;
                         SendWaiting();
                     });
}

void CDBusDesktopNotifier::SendWaiting() {
    std::vector<SNotification> waiting = std::move(m_waiting);
    m_waiting.clear();
    std::string strWhy;
    std::optional<QDBusConnection> connection = m_link.Connection(strWhy);
    if (!connection) {
        m_link.Fault("desktop notifications lost, the session bus went away: " + strWhy);
        return;
    }
    for (const SNotification& notification : waiting) {
        Send(*connection, notification);
    }
}

void CDBusDesktopNotifier::Send(QDBusConnection& connection, const SNotification& notification) {
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(UrgencyHint(notification.urgency)));
    if (!m_identity.strDesktopEntry.empty()) {
        hints.insert(QStringLiteral("desktop-entry"),
                     QString::fromStdString(m_identity.strDesktopEntry));
    }
    const QString strBody =
        m_markup == EMarkup::Escaped ? notification.strBody.toHtmlEscaped() : notification.strBody;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QString::fromStdString(m_identity.strAppName) << uint(0)
         << QString::fromStdString(m_identity.strIconName) << notification.strSummary << strBody
         << QStringList() << hints << int(-1);
    auto* pWatcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kServiceTimeoutMs),
                                                 m_pReplies.get());
    QObject::connect(pWatcher, &QDBusPendingCallWatcher::finished, m_pReplies.get(),
                     [this](QDBusPendingCallWatcher* pDone) {
                         pDone->deleteLater();
                         if (pDone->isError()) {
                             m_link.Fault("the notification service refused a notification: " +
                                          pDone->error().message().toStdString());
                             return;
                         }
                         m_link.Working();
                     });
}
