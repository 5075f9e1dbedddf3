#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <vector>

struct SReceivedNotification {
    QString strAppName;
    QString strIcon;
    QString strSummary;
    QString strBody;
    QVariantMap hints;
};

// A notification service on a test bus, on the thread that makes it. It
// answers Notify with an id, or with an error when told to refuse.
class CFakeNotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    CFakeNotificationService(const QString& strAddress, QStringList capabilities);
    ~CFakeNotificationService() override;

    // True once it holds the service's name on the bus.
    bool IsServing() const { return m_bServing; }
    const std::vector<SReceivedNotification>& Received() const { return m_received; }
    void SetRefusing(bool bRefusing) { m_bRefusing = bRefusing; }

public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString& strAppName, uint nReplacesId, const QString& strIcon,
                const QString& strSummary, const QString& strBody, const QStringList& actions,
                const QVariantMap& hints, int nExpireTimeout);

private:
    QString m_strConnection;
    QStringList m_capabilities;
    std::vector<SReceivedNotification> m_received;
    bool m_bServing = false;
    bool m_bRefusing = false;
};
