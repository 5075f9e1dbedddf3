#pragma once

#include <QCoreApplication>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// Waits, with the Qt event loop running where there is one, until done()
// holds or the time is up; true when it held. The time is a bound for a
// machine that never answers, not a measure: nothing is asserted of it.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        if (QCoreApplication::instance()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// "28 AC 07 ..." for the failure messages.
inline std::string HexBytes(const uint8_t* pBytes, size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[pBytes[i] >> 4];
        text += kDigits[pBytes[i] & 15];
    }
    return text;
}
