#pragma once

#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <QThread>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/posix/UniqueFd.h"

struct SInhibitCall {
    QString strWhat;
    QString strWho;
    QString strWhy;
    QString strMode;
    // The read end of the pipe whose write end was handed out: it hangs up
    // once every copy of the hold is closed, as logind sees it.
    int nWatchFd = -1;
};

// The part of org.freedesktop.login1 that Inhibit needs, on a thread of its
// own: the inhibitor waits for its answer on the test's thread.
class CFakeLogindManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    std::vector<SInhibitCall> Calls() const;
    void SetRefusing(bool bRefusing);

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& strWhat, const QString& strWho,
                                    const QString& strWhy, const QString& strMode);

private:
    mutable std::mutex m_mutex;
    std::vector<SInhibitCall> m_calls;
    std::vector<CUniqueFd> m_watchFds;
    bool m_bRefusing = false;
};

class CFakeLogind {
public:
    explicit CFakeLogind(const QString& strAddress);
    ~CFakeLogind();

    CFakeLogind(const CFakeLogind&) = delete;
    CFakeLogind& operator=(const CFakeLogind&) = delete;

    bool IsServing() const { return m_bServing; }
    CFakeLogindManager& Manager() { return *m_pManager; }

private:
    QThread m_thread;
    std::unique_ptr<CFakeLogindManager> m_pManager;
    QString m_strConnection;
    bool m_bServing = false;
};
