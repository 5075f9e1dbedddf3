#include "platform/desktop/LogindSleepInhibitor.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace {

// logind answers at once; this only bounds a system that is in trouble.
constexpr int kLogindTimeoutMs = 3000;

}  // namespace

CLogindSleepInhibitor::CLogindSleepInhibitor(std::string strBusAddress, SDesktopIdentity identity)
    : m_link(QDBusConnection::SystemBus, std::move(strBusAddress)),
      m_identity(std::move(identity)) {}

CSleepInhibition CLogindSleepInhibitor::Inhibit(const std::string& strWhy) {
    const std::string strFault = "the machine may sleep during recordings: ";
    std::string strError;
    std::optional<QDBusConnection> connection = m_link.Connection(strError);
    if (!connection) {
        m_link.Fault(strFault + "the system bus is unavailable: " + strError);
        return {};
    }
    if (!(connection->connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        m_link.Fault(strFault + "the system bus cannot pass file descriptors");
        return {};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QString::fromStdString(m_identity.strAppName)
         << QString::fromStdString(strWhy) << QStringLiteral("block");
    const QDBusMessage reply = connection->call(call, QDBus::Block, kLogindTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        m_link.Fault(strFault +
                     "logind did not hold it off: " + reply.errorMessage().toStdString());
        return {};
    }
    const QDBusUnixFileDescriptor held =
        reply.arguments().isEmpty()
            ? QDBusUnixFileDescriptor()
            : qdbus_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
    if (!held.isValid()) {
        m_link.Fault(strFault + "logind answered without a descriptor");
        return {};
    }
    // The message's own copy goes with the message.
    const int fd = ::fcntl(held.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        m_link.Fault(strFault + std::strerror(errno));
        return {};
    }
    m_link.Working();
    return CSleepInhibition(CUniqueFd(fd));
}
