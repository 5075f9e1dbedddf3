#pragma once

#include <string>
#include <vector>

// Collects the trace while it lives, so that a test can see what the code
// under test told. A sink gets every line in every build; kEnabled stays for
// builds made without the trace.
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

    CTraceCapture();
    ~CTraceCapture();

    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    std::vector<SEntry> Entries() const;
    // Each entry as "tag: message".
    std::vector<std::string> Lines() const;
};
