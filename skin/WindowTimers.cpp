#include "skin/WindowTimers.h"

#include <QTimerEvent>

#include <algorithm>

CWindowTimers::CWindowTimers(Handler handler, QObject* pParent)
    : QObject(pParent), m_handler(std::move(handler)) {}

void CWindowTimers::Set(int nId, int nPeriodMs) {
    Kill(nId);
    m_timers[nId] = startTimer(std::max(nPeriodMs, kMinimumPeriodMs));
}

bool CWindowTimers::Kill(int nId) {
    auto it = m_timers.find(nId);
    if (it == m_timers.end()) {
        return false;
    }
    killTimer(it->second);
    m_timers.erase(it);
    return true;
}

void CWindowTimers::timerEvent(QTimerEvent* pEvent) {
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const auto& timer) { return timer.second == pEvent->timerId(); });
    if (it == m_timers.end()) {
        return;
    }
    // The handler may set or kill timers, this one included.
    const int nId = it->first;
    if (m_handler) {
        m_handler(nId);
    }
}
