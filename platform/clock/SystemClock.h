#pragma once

#include "platform/clock/Clock.h"

// The real clock: std::this_thread::sleep_for and the system's calendar time.
class CSystemClock : public CClock {
public:
    void Sleep(std::chrono::milliseconds span) override;
    std::time_t Now() override;
    std::chrono::milliseconds Uptime() override;
};
