#pragma once

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QVariantList>

#include <chrono>
#include <functional>

#include "tests/platform/desktop/PrivateBus.h"

// A client on a private bus, calling the services of the same process: every
// call is sent asynchronously and waited for with the event loop running, so
// that the service can answer.
class CBusClient {
public:
    explicit CBusClient(const std::string& strAddress)
        : m_connection(QDBusConnection::connectToBus(QString::fromStdString(strAddress),
                                                     QStringLiteral("kestrel-test-client"))) {}
    ~CBusClient() { QDBusConnection::disconnectFromBus(QStringLiteral("kestrel-test-client")); }

    QDBusConnection& Connection() { return m_connection; }

    QDBusMessage Call(const QString& strService, const QString& strPath,
                      const QString& strInterface, const QString& strMethod,
                      const QVariantList& arguments = {}) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(strService, strPath, strInterface, strMethod);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_connection.asyncCall(message, 10000);
        WaitUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }

    QVariant Get(const QString& strService, const QString& strPath, const QString& strInterface,
                 const QString& strProperty) {
        const QDBusMessage reply =
            Call(strService, strPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {strInterface, strProperty});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return {};
        }
        return reply.arguments().front().value<QDBusVariant>().variant();
    }

    // Runs the event loop until the condition holds or ten seconds pass.
    static bool WaitUntil(const std::function<bool()>& condition,
                          std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

private:
    QDBusConnection m_connection;
};
