#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/trace/Trace.h"

// Collects the trace while it lives. A sink gets every line in every build;
// kEnabled stays for builds made without the trace.
class CTraceCapture {
public:
#ifdef KESTREL_TRACE
    static constexpr bool kEnabled = true;
#else
    static constexpr bool kEnabled = false;
#endif

    struct SEntry {
        std::string strTag;
        std::string strMessage;
        bool operator==(const SEntry&) const = default;
    };

    CTraceCapture() {
        std::lock_guard lock(Mutex());
        Store().clear();
        SetKestrelTraceSink(&Sink);
    }
    ~CTraceCapture() {
        SetKestrelTraceSink(nullptr);
    }

    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    std::vector<SEntry> Entries() const {
        std::lock_guard lock(Mutex());
        return Store();
    }

private:
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<SEntry>& Store() {
        static std::vector<SEntry> entries;
        return entries;
    }
    static void Sink(const char* tag, const char* message) {
        std::lock_guard lock(Mutex());
        Store().push_back({tag, message});
    }
};
