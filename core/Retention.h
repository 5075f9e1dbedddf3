#pragma once

#include <ctime>
#include <string>

class CRadioCore;

// A repeating task's rule for its old recordings: only the last N, or only
// those that began within N days. The catalogue row and its file go
// together, the row first (a row must never name a file that is gone); the
// file being recorded or played stays; a task without such a rule loses
// nothing.
//
// UI thread only; the core must outlive it.
class CRetention {
public:
    struct SResult {
        int nRemoved = 0;
        int nKept = 0;  // due to go, kept: in use, or the removal failed
    };

    explicit CRetention(CRadioCore& core) : m_core(core) {}

    // After a recording of task nTask was catalogued.
    SResult Apply(int nTask, std::time_t now);

private:
    // True when the recording is gone or was never there; false when it stays.
    bool Remove(int nFile);

    CRadioCore& m_core;
};
