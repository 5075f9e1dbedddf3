#pragma once

#include <functional>

// Runs the Qt event loop until the condition holds; false when it still does
// not after a long while (a hang the test should report, not wait out).
bool ProcessEventsUntil(const std::function<bool()>& condition);
