#pragma once

// Diagnostic trace: what a developer sees and a user never does. Debug builds
// write "[tag] message" to standard error; release builds compile it away.

#include <cstdarg>

// printf-style; safe to call from any thread.
void KestrelTrace(const char* tag, const char* format, ...) __attribute__((format(printf, 2, 3)));
void KestrelTraceV(const char* tag, const char* format, va_list args);

// Tests capture the trace instead of reading standard error. The sink is
// process-wide; nullptr restores standard error.
using KestrelTraceSink = void (*)(const char* tag, const char* message);
void SetKestrelTraceSink(KestrelTraceSink sink);
