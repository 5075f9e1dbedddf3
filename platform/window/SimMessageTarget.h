#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/window/MessageTarget.h"

struct SWindowMessage {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    bool bSent;  // Send() rather than Post()
};

// The simulated window for tests and headless runs: it records every message
// and runs an optional handler for sent ones on the sender's thread (there is
// no window thread to hand them to).
class CSimMessageTarget : public CMessageTarget {
public:
    using Handler = std::function<intptr_t(const SWindowMessage&)>;

    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Runs for every sent message; set before any thread sends.
    void SetSendHandler(Handler handler);

    std::vector<SWindowMessage> Messages() const;
    int Count(uint32_t message, bool bSent) const;
    // Waits until at least n messages of this number arrived; false on time-out.
    bool WaitFor(uint32_t message, int n, int timeoutMs) const;
    void Clear();

private:
    void Record(const SWindowMessage& m);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::vector<SWindowMessage> m_messages;
    Handler m_sendHandler;
};
