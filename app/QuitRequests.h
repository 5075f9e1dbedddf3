#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

#include "platform/posix/UniqueFd.h"

// Runs a handler on the event loop's thread when the process is asked to stop
// (SIGTERM at logout or shutdown, SIGINT, SIGHUP, or the application's quit
// request, which the session manager sends at logout), so that a recording is
// completed and catalogued rather than cut off. The quit request is taken
// here: the handler decides how the run ends. One at a time; the old signal
// handlers come back when it goes.
class CQuitRequests : public QObject {
public:
    explicit CQuitRequests(std::function<void()> onRequest);
    ~CQuitRequests() override;

    CQuitRequests(const CQuitRequests&) = delete;
    CQuitRequests& operator=(const CQuitRequests&) = delete;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

    CUniqueFd m_readEnd;
    CUniqueFd m_writeEnd;
    struct sigaction m_old[3] = {};
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    std::function<void()> m_onRequest;
};
