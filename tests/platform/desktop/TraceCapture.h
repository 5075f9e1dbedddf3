#pragma once

#include <functional>
#include <string>
#include <vector>

// Takes the trace's lines while it lives, so that a test can count what the
// services told.
class CTraceCapture {
public:
    CTraceCapture();
    ~CTraceCapture();

    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    std::vector<std::string> Lines() const;
};

// Runs the Qt event loop until the condition holds; false when it still does
// not after a long while (a hang the test should report, not wait out).
bool ProcessEventsUntil(const std::function<bool()>& condition);
