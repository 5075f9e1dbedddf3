#pragma once

#include <chrono>
#include <thread>

// Polls a condition until it holds or the deadline passes, running idle()
// between polls (a window test's event loop; by default a short sleep). The
// deadline only keeps a broken test from hanging: how long the wait took is
// never the point. True when the condition held.
template <typename Condition, typename Idle>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline, Idle idle) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return condition();
        }
        idle();
    }
    return true;
}

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds deadline) {
    return WaitUntil(condition, deadline,
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(5)); });
}
