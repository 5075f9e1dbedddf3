#pragma once

#include <poll.h>

#include <cstddef>
#include <functional>
#include <span>
#include <thread>

#include "platform/posix/UniqueFd.h"

// One thread that waits on descriptors until it is told to stop: an eventfd
// for the stop, poll() on it and the caller's descriptors, EINTR retried.
// Start() runs the body on the loop's own thread; the body waits with Wait()
// and returns once Wait() says Stopped. Stop() wakes it and joins it, at
// once and from any other thread; the loop may be started again.
class CPollLoop {
public:
    enum class EWake {
        Ready,     // some of the descriptors are ready (their revents say which)
        Stopped,   // Stop() was called: the body returns
        TimedOut,  // nothing within the time given
        Failed,    // poll() failed (errno says why)
    };

    CPollLoop() = default;
    ~CPollLoop() { Stop(); }

    CPollLoop(const CPollLoop&) = delete;
    CPollLoop& operator=(const CPollLoop&) = delete;

    // False when the stop event cannot be made or the thread cannot start.
    bool Start(std::function<void(CPollLoop&)> body);
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // On the loop's thread. The stop is looked at where nStopAt places it
    // among the descriptors: one ready before it is served first (a write
    // still asked for before a close), one after it is not.
    EWake Wait(std::span<pollfd> fds, int nTimeoutMs = -1, size_t nStopAt = 0);

private:
    CUniqueFd m_stop;  // eventfd
    std::thread m_thread;
};
