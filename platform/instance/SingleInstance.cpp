#include "platform/instance/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "instance";
constexpr int kConnectMs = 1000;
constexpr int kReplyMs = 2000;
constexpr const char* kTaken = "ok\n";
constexpr const char* kGivenWay = "released\n";

// The title with every character that is not a letter or digit made '_'.
QString SafeName(const std::string& strTitle) {
    QString name = QString::fromStdString(strTitle);
    for (QChar& c : name) {
        if (!c.isLetterOrNumber()) {
            c = '_';
        }
    }
    return name;
}

}  // namespace

CSingleInstance::CSingleInstance(const std::string& strTitle, const std::string& strFolder,
                                 QObject* pParent)
    : QObject(pParent) {
    QString folder = QString::fromStdString(strFolder);
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    m_strSocketPath =
        QDir(folder).filePath(SafeName(strTitle) + "-" + QString::number(getuid())).toStdString();
}

CSingleInstance::~CSingleInstance() = default;

bool CSingleInstance::Claim(int nTask, Handler onRequest) {
    QLockFile lock(QString::fromStdString(m_strSocketPath + ".lock"));
    if (!lock.tryLock(kConnectMs + kReplyMs)) {
        KestrelTrace(kTag, "the start lock stays taken; starting as the running copy");
    }
    if (Forward(nTask)) {
        return false;
    }
    m_onRequest = std::move(onRequest);
    return Listen();
}

bool CSingleInstance::Forward(int nTask) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(m_strSocketPath));
    if (!socket.waitForConnected(kConnectMs)) {
        return false;  // none runs, or it left only its socket behind
    }
    socket.write(QByteArray::number(nTask) + '\n');
    // Wait for the copy to have it, so that it is not lost as this one ends.
    if (!socket.waitForBytesWritten(kReplyMs) || !socket.waitForReadyRead(kReplyMs)) {
        KestrelTrace(kTag, "the running copy did not confirm task %d", nTask);
        return true;
    }
    return socket.readLine() != kGivenWay;
}

bool CSingleInstance::Listen() {
    const QString path = QString::fromStdString(m_strSocketPath);
    // Nobody answered there: what is left is a crashed copy's socket.
    QLocalServer::removeServer(path);
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_pServer->listen(path)) {
        KestrelTrace(kTag, "cannot listen on %s: %s", m_strSocketPath.c_str(),
                     m_pServer->errorString().toUtf8().constData());
        return true;  // still the running copy, only unreachable for later starts
    }
    connect(m_pServer, &QLocalServer::newConnection, this, &CSingleInstance::ServeConnection);
    return true;
}

void CSingleInstance::ServeConnection() {
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] {
            if (!pSocket->canReadLine()) {
                return;
            }
            bool bNumber = false;
            const int nTask = pSocket->readLine().trimmed().toInt(&bNumber);
            const bool bTaken = !m_onRequest || m_onRequest(bNumber ? nTask : -1);
            if (!bTaken) {
                m_pServer->close();  // the later start listens in its place
            }
            pSocket->write(bTaken ? kTaken : kGivenWay);
            pSocket->flush();
            pSocket->disconnectFromServer();
        });
    }
}
