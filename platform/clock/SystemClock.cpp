#include "platform/clock/SystemClock.h"

#include <thread>

void CSystemClock::Sleep(std::chrono::milliseconds span) {
    std::this_thread::sleep_for(span);
}

std::time_t CSystemClock::Now() {
    return std::time(nullptr);
}

std::chrono::milliseconds CSystemClock::Uptime() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}
