#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <memory>

class QEventLoop;

// Ends an event loop when the process is asked to stop (SIGTERM at shutdown,
// SIGINT, SIGHUP), so that what runs in it is completed by its destructors
// rather than cut off. One at a time; the old handlers come back when it goes.
class CQuitOnSignal {
public:
    explicit CQuitOnSignal(QEventLoop& loop);
    ~CQuitOnSignal();

    CQuitOnSignal(const CQuitOnSignal&) = delete;
    CQuitOnSignal& operator=(const CQuitOnSignal&) = delete;

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

    int m_fds[2] = {-1, -1};
    struct sigaction m_old[3] = {};
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};
