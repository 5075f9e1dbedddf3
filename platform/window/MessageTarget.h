#pragma once

#include <cstdint>

// A window as Kestrel's objects address it: the target of posted and sent
// messages (the window handle they hand each other).
//
// Contract:
// - Post() may be called from any thread; it queues the message for the
//   window's own thread and returns at once.
// - Send() may be called from any thread. From the window's thread it runs the
//   handler at once; from another thread it blocks until the window's thread
//   has run the handler, and returns its result. The caller must hold no lock
//   the handler could need.
// - A target outlives every thread that may post or send to it.
class CMessageTarget {
public:
    virtual ~CMessageTarget() = default;

    virtual void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};
