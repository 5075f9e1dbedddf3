#include "tests/support/TraceCapture.h"

#include <mutex>

#include "platform/trace/Trace.h"

namespace {

std::mutex g_mutex;
std::vector<CTraceCapture::SEntry> g_entries;

void Collect(const char* tag, const char* message) {
    std::lock_guard lock(g_mutex);
    g_entries.push_back({tag, message});
}

}  // namespace

CTraceCapture::CTraceCapture() {
    {
        std::lock_guard lock(g_mutex);
        g_entries.clear();
    }
    SetKestrelTraceSink(&Collect);
}

CTraceCapture::~CTraceCapture() {
    SetKestrelTraceSink(nullptr);
}

std::vector<CTraceCapture::SEntry> CTraceCapture::Entries() const {
    std::lock_guard lock(g_mutex);
    return g_entries;
}

std::vector<std::string> CTraceCapture::Lines() const {
    std::vector<std::string> lines;
    for (const SEntry& entry : Entries()) {
        lines.push_back(entry.strTag + ": " + entry.strMessage);
    }
    return lines;
}
