#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/clock/Clock.h"

// A virtual clock for tests and benchmarks: Sleep() returns without waiting
// in real time, after the settle hook has let the simulated hardware finish
// what the sleeper asked of it (the real clock gives it the span to do so).
// So code run on it takes the same path as on the real clock, only faster.
class CSimClock : public CClock {
public:
    using SettleHook = std::function<void()>;

    explicit CSimClock(std::time_t start = 1'178'028'189);  // 2007-05-01 14:03:09 UTC

    void Sleep(std::chrono::milliseconds span) override;
    std::time_t Now() override;
    std::chrono::milliseconds Uptime() override { return Elapsed(); }

    // Runs inside every Sleep() before the time moves on; set before use.
    void SetSettleHook(SettleHook hook);
    void Advance(std::chrono::milliseconds span);
    // Every span slept, in order.
    std::vector<std::chrono::milliseconds> Sleeps() const;
    std::chrono::milliseconds Elapsed() const;

private:
    mutable std::mutex m_mutex;
    std::time_t m_start;
    std::chrono::milliseconds m_elapsed{0};
    std::vector<std::chrono::milliseconds> m_sleeps;
    SettleHook m_settle;
};
