#include "platform/trace/Trace.h"

#include <atomic>
#include <cstdio>

namespace {

void StderrSink(const char* tag, const char* message) {
    std::fprintf(stderr, "[%s] %s\n", tag, message);
}

std::atomic<KestrelTraceSink> g_sink{&StderrSink};

}  // namespace

void SetKestrelTraceSink(KestrelTraceSink sink) {
    g_sink.store(sink ? sink : &StderrSink);
}

void KestrelTraceV(const char* tag, const char* format, va_list args) {
#ifdef KESTREL_TRACE
    char buffer[1024];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    g_sink.load()(tag, buffer);
#else
    (void)tag;
    (void)format;
    (void)args;
#endif
}

void KestrelTrace(const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    KestrelTraceV(tag, format, args);
    va_end(args);
}
