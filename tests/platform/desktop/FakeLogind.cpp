#include "tests/platform/desktop/FakeLogind.h"

#include <QDBusConnection>

#include <fcntl.h>
#include <unistd.h>

std::vector<SInhibitCall> CFakeLogindManager::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void CFakeLogindManager::SetRefusing(bool bRefusing) {
    std::lock_guard lock(m_mutex);
    m_bRefusing = bRefusing;
}

QDBusUnixFileDescriptor CFakeLogindManager::Inhibit(const QString& strWhat, const QString& strWho,
                                                    const QString& strWhy, const QString& strMode) {
    std::lock_guard lock(m_mutex);
    if (m_bRefusing) {
        m_calls.push_back({strWhat, strWho, strWhy, strMode, -1});
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
        return {};
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("no pipe"));
        return {};
    }
    m_watchFds.emplace_back(fds[0]);
    m_calls.push_back({strWhat, strWho, strWhy, strMode, fds[0]});
    // The descriptor object keeps a copy of its own for the reply.
    CUniqueFd writeEnd(fds[1]);
    return QDBusUnixFileDescriptor(writeEnd.Get());
}

CFakeLogind::CFakeLogind(const QString& strAddress)
    : m_pManager(std::make_unique<CFakeLogindManager>()),
      m_strConnection(QStringLiteral("fake-logind")) {
    m_pManager->moveToThread(&m_thread);
    m_thread.start();
    QDBusConnection connection = QDBusConnection::connectToBus(strAddress, m_strConnection);
    m_bServing = connection.isConnected() &&
                 connection.registerObject(QStringLiteral("/org/freedesktop/login1"),
                                           m_pManager.get(), QDBusConnection::ExportAllSlots) &&
                 connection.registerService(QStringLiteral("org.freedesktop.login1"));
}

CFakeLogind::~CFakeLogind() {
    QDBusConnection::disconnectFromBus(m_strConnection);
    m_thread.quit();
    m_thread.wait();
}
