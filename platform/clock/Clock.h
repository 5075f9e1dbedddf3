#pragma once

#include <chrono>
#include <ctime>

// Kestrel's time: fixed sleeps against the receiver and the calendar time of
// recordings and tasks.
//
// Contract: Sleep() and Now() may be called from any thread at the same time.
// Sleep() returns after at least the given span of this clock's time has passed.
class CClock {
public:
    virtual ~CClock() = default;

    virtual void Sleep(std::chrono::milliseconds span) = 0;
    // Calendar time, whole seconds.
    virtual std::time_t Now() = 0;
    // A count that only goes forward, for spans finer than Now()'s seconds.
    virtual std::chrono::milliseconds Uptime() = 0;
};
