#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/DBusLink.h"
#include "platform/desktop/DesktopIdentity.h"
#include "platform/desktop/DesktopNotifier.h"

// Notifications through the desktop's notification service
// (org.freedesktop.Notifications) on the session bus. Every call is made
// asynchronously; only the bus daemon itself is asked, briefly, whether the
// service is there or can be started.
//
// A service that reads markup in the body gets the body escaped, so that a
// station called "R&B <Live>" shows as it is; its capabilities are asked
// once per service, and notifications wait in order until they are known.
class CDBusDesktopNotifier : public CDesktopNotifier {
public:
    // strBusAddress: the session bus's D-Bus address; empty for the user's
    // own session bus.
    explicit CDBusDesktopNotifier(std::string strBusAddress = {}, SDesktopIdentity identity = {});
    ~CDBusDesktopNotifier() override;

    CDBusDesktopNotifier(const CDBusDesktopNotifier&) = delete;
    CDBusDesktopNotifier& operator=(const CDBusDesktopNotifier&) = delete;

    bool Notify(const std::string& strSummary, const std::string& strBody,
                ENotificationUrgency urgency) override;

private:
    struct SNotification {
        QString strSummary;
        QString strBody;
        ENotificationUrgency urgency;
    };
    enum class EMarkup { Unknown, Asking, Escaped, Plain };

    // The service's unique name on the bus, "" when it is not running but can
    // be started; nothing with the reason when it is neither.
    std::optional<QString> ServiceOwner(QDBusConnection& connection, std::string& strWhy);
    void AskCapabilities(QDBusConnection& connection);
    void Send(QDBusConnection& connection, const SNotification& notification);
    void SendWaiting();

    CDBusLink m_link;
    SDesktopIdentity m_identity;
    EMarkup m_markup = EMarkup::Unknown;
    QString m_strMarkupOwner;  // the service whose capabilities m_markup holds
    std::vector<SNotification> m_waiting;
    // Parent of the watchers of calls in flight: it goes first, and with it
    // every reply handler that would reach this object.
    std::unique_ptr<QObject> m_pReplies;
};
