#pragma once

#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <memory>

#include "platform/posix/UniqueFd.h"

// Runs a handler on the event loop's thread when the process is asked to stop
// (SIGTERM at logout or shutdown, SIGINT, SIGHUP), so that a recording is
// completed and catalogued rather than cut off. One at a time; the old
// handlers come back when it goes.
class CQuitOnSignal {
public:
    explicit CQuitOnSignal(std::function<void()> onSignal);
    ~CQuitOnSignal();

    CQuitOnSignal(const CQuitOnSignal&) = delete;
    CQuitOnSignal& operator=(const CQuitOnSignal&) = delete;

private:
    static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

    CUniqueFd m_readEnd;
    CUniqueFd m_writeEnd;
    struct sigaction m_old[3] = {};
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    std::function<void()> m_onSignal;
};
