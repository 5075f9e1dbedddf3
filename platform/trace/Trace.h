#pragma once

// Diagnostic trace: what a developer sees and a user never does. Compiled into
// every build; "[tag] message" goes to standard error in a debug build, or in
// any build started with KESTREL_TRACE=1 in the environment.

#include <cstdarg>

// printf-style; safe to call from any thread.
void KestrelTrace(const char* tag, const char* format, ...) __attribute__((format(printf, 2, 3)));
void KestrelTraceV(const char* tag, const char* format, va_list args);

// Tests capture the trace instead of reading standard error: a sink gets every
// line, whatever the build and the environment. The sink is process-wide;
// nullptr restores standard error.
using KestrelTraceSink = void (*)(const char* tag, const char* message);
void SetKestrelTraceSink(KestrelTraceSink sink);
