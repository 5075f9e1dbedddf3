#pragma once

#include <atomic>
#include <functional>
#include <thread>

// The thread a dongle's IQ comes from: the body runs until Stopping() says
// so. Stop() (and the destructor) ask it and join it; it may start again.
class CStreamThread {
public:
    CStreamThread() = default;
    ~CStreamThread() { Stop(); }

    CStreamThread(const CStreamThread&) = delete;
    CStreamThread& operator=(const CStreamThread&) = delete;

    void Start(std::function<void()> body) {
        Stop();
        m_bStop = false;
        m_thread = std::thread(std::move(body));
    }
    void Stop() {
        m_bStop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool Stopping() const { return m_bStop; }

private:
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
