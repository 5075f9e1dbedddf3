#include "platform/clock/SimClock.h"

CSimClock::CSimClock(std::time_t start) : m_start(start) {}

void CSimClock::SetSettleHook(SettleHook hook) {
    std::lock_guard lock(m_mutex);
    m_settle = std::move(hook);
}

void CSimClock::Sleep(std::chrono::milliseconds span) {
    SettleHook settle;
    {
        std::lock_guard lock(m_mutex);
        settle = m_settle;
    }
    if (settle) {
        settle();
    }
    std::lock_guard lock(m_mutex);
    m_sleeps.push_back(span);
    m_elapsed += span;
}

void CSimClock::Advance(std::chrono::milliseconds span) {
    std::lock_guard lock(m_mutex);
    m_elapsed += span;
}

std::time_t CSimClock::Now() {
    std::lock_guard lock(m_mutex);
    return m_start + static_cast<std::time_t>(m_elapsed.count() / 1000);
}

std::vector<std::chrono::milliseconds> CSimClock::Sleeps() const {
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

std::chrono::milliseconds CSimClock::Elapsed() const {
    std::lock_guard lock(m_mutex);
    return m_elapsed;
}
