#include "control/ControlClient.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "control/ControlBus.h"
#include "control/ExitStatus.h"
#include "control/ScriptInterface.h"

namespace {

int StatusOfError(const QString& strName) {
    if (strName == QLatin1String(CScriptInterface::kErrorReceiverAbsent)) {
        return KestrelExit::kReceiverAbsent;
    }
    if (strName == QLatin1String(CScriptInterface::kErrorRefused)) {
        return KestrelExit::kRefused;
    }
    if (strName == QLatin1String(CScriptInterface::kErrorBadValue)) {
        return KestrelExit::kUsage;
    }
    return KestrelExit::kFailed;
}

}  // namespace

CControlClient::CControlClient(std::string strBusAddress)
    : m_link(QDBusConnection::SessionBus, std::move(strBusAddress)) {}

bool CControlClient::HasCopy() {
    std::string strWhy;
    m_connection = m_link.Connection(strWhy);
    if (!m_connection || !m_connection->interface()) {
        return false;
    }
    const QDBusReply<bool> reply =
        m_connection->interface()->isServiceRegistered(QString::fromLatin1(CControlBus::kService));
    return reply.isValid() && reply.value();
}

CControlClient::SReply CControlClient::Call(const char* pMethod, const QVariantList& arguments,
                                            bool bServeEvents) {
    SReply answer;
    if (!m_connection && !HasCopy()) {
        answer.nStatus = KestrelExit::kNoCopy;
        answer.strError = "no running copy of Kestrel on the session bus";
        return answer;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(CControlBus::kService), QString::fromLatin1(CControlBus::kPath),
        QString::fromLatin1(CControlBus::kInterface), QString::fromLatin1(pMethod));
    message.setArguments(arguments);
    const QDBusMessage reply = m_connection->call(
        message, bServeEvents ? QDBus::BlockWithGui : QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        answer.nStatus = StatusOfError(reply.errorName());
        answer.strError = reply.errorMessage().toStdString();
        return answer;
    }
    answer.values = reply.arguments();
    if (!answer.values.isEmpty()) {
        answer.value = answer.values.front();
    }
    return answer;
}
