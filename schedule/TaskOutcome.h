#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// How one scheduled task ended, as the user is told afterwards.
struct STaskOutcome {
    enum class EKind {
        Recorded,  // from its begin (or within a minute of it) to its end
        Partial,   // started late or stopped early; the reason says which
        Missed,    // the program started after the task's end: no file, no row
        Failed,    // nothing recorded; the reason says why
    };

    int nTask = 0;
    EKind eKind = EKind::Failed;
    std::string strReason;      // empty for a plain recording
    std::string strFile;        // the recording, when there is one
    std::int64_t nSeconds = 0;  // audio in it
    std::time_t ended = 0;

    // "recorded", "partial", "missed", "failed": how the table holds it.
    static const char* KindName(EKind eKind);
    static EKind KindFromName(const std::string& strName);
};
