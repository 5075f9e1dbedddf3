#pragma once

#include <string>

// A control whose text a part sets: the frequency display.
//
// Contract: SetText() may be called from any thread and never waits for the
// UI thread (a window back-end queues it); calls take effect in the order in
// which they were made.
class CTextSink {
public:
    virtual ~CTextSink() = default;

    virtual void SetText(const std::string& text) = 0;
};
