#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QLocalServer;

// The one running copy of the program for this user. The first start claims
// a local socket named after the window title and the user; a later start
// connects to it, hands over its task number and ends. A socket left behind
// by a copy that crashed is taken over. A lock file orders two starts made at
// the same moment, so that exactly one of them becomes the running copy.
// A running copy may also give way (one with no screen, to a start that
// can show the window): the later start then becomes the running copy.
//
// UI thread only; requests reach the handler on that thread.
class CSingleInstance : public QObject {
    Q_OBJECT

public:
    // nTask: the later start's task number, -1 when it had none. Returns
    // true when this copy took the request, false when it gives way: it then
    // no longer listens, and the later start runs instead.
    using Handler = std::function<bool(int nTask)>;

    // strFolder: where the socket lives; empty for the user's runtime folder.
    explicit CSingleInstance(const std::string& strTitle, const std::string& strFolder = {},
                             QObject* pParent = nullptr);
    ~CSingleInstance() override;

    // True: this process is the running copy now, and later starts reach
    // onRequest. False: a running copy took nTask (and came forward). A copy
    // that gave way counts as none.
    bool Claim(int nTask, Handler onRequest);

    const std::string& SocketPath() const { return m_strSocketPath; }

private:
    bool Forward(int nTask);
    bool Listen();
    void ServeConnection();

    std::string m_strSocketPath;
    Handler m_onRequest;
    QLocalServer* m_pServer = nullptr;  // child object
};
