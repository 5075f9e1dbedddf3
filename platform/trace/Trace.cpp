#include "platform/trace/Trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void StderrSink(const char* tag, const char* message) {
    std::fprintf(stderr, "[%s] %s\n", tag, message);
}

// Read once: the environment is the user's switch for one run.
bool StderrWanted() {
#ifdef KESTREL_TRACE_TO_STDERR
    return true;
#else
    static const bool bWanted = [] {
        const char* value = std::getenv("KESTREL_TRACE");
        return value && std::strcmp(value, "1") == 0;
    }();
    return bWanted;
#endif
}

std::atomic<KestrelTraceSink> g_sink{nullptr};

}  // namespace

void SetKestrelTraceSink(KestrelTraceSink sink) {
    g_sink.store(sink);
}

void KestrelTraceV(const char* tag, const char* format, va_list args) {
    KestrelTraceSink sink = g_sink.load();
    if (!sink) {
        if (!StderrWanted()) {
            return;
        }
        sink = &StderrSink;
    }
    char buffer[1024];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    sink(tag, buffer);
}

void KestrelTrace(const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    KestrelTraceV(tag, format, args);
    va_end(args);
}
