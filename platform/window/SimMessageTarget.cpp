#include "platform/window/SimMessageTarget.h"

#include <algorithm>
#include <chrono>

void CSimMessageTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Record({message, wParam, lParam, false});
}

intptr_t CSimMessageTarget::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    SWindowMessage m{message, wParam, lParam, true};
    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        handler = m_sendHandler;
    }
    // The handler runs before the message is recorded, so that a test waiting
    // for the message also sees what the handler did.
    intptr_t result = handler ? handler(m) : 0;
    Record(m);
    return result;
}

void CSimMessageTarget::SetSendHandler(Handler handler) {
    std::lock_guard lock(m_mutex);
    m_sendHandler = std::move(handler);
}

void CSimMessageTarget::Record(const SWindowMessage& m) {
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(m);
    }
    m_arrived.notify_all();
}

std::vector<SWindowMessage> CSimMessageTarget::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

int CSimMessageTarget::Count(uint32_t message, bool bSent) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_messages.begin(), m_messages.end(), [&](auto& m) {
        return m.message == message && m.bSent == bSent;
    }));
}

bool CSimMessageTarget::WaitFor(uint32_t message, int n, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::count_if(m_messages.begin(), m_messages.end(),
                             [&](auto& m) { return m.message == message; }) >= n;
    });
}

void CSimMessageTarget::Clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}
