#include "platform/clock/SystemClock.h"

#include <thread>

void CSystemClock::Sleep(std::chrono::milliseconds span) {
    std::this_thread::sleep_for(span);
}

std::time_t CSystemClock::Now() {
    return std::time(nullptr);
}
