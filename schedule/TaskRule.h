#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// How a scheduled recording repeats, and the minutes it records before and
// after its programme. Kept in the table TaskRule beside the task's Task
// row, which always holds the next occurrence with its padding: the program
// the scheduler starts reads that row as it reads any task.
struct STaskRule {
    enum class ERepeat { Once, Daily, Weekdays, Weekly, EveryDays };

    int nTask = 0;
    ERepeat eRepeat = ERepeat::Once;
    int nWeekdays = 0;   // Weekdays: bit 0 Sunday ... bit 6 Saturday
    int nEveryDays = 1;  // EveryDays: the days from one occurrence to the next
    // The first occurrence as the user gave it (no padding). Every other one
    // is at the same local wall-clock time, whatever daylight saving does.
    std::time_t first = 0;
    std::int64_t nLength = 0;  // seconds from begin to end, without padding
    std::time_t until = 0;     // no occurrence begins after this day; 0 none
    int nTimes = 0;            // at most this many occurrences; 0 no limit
    int nPadBefore = 0;        // minutes
    int nPadAfter = 0;
    bool bEnabled = true;
    // Retention of the task's recordings, each 0 for none: only the last
    // nKeepLast, only those that began within nKeepDays days. Nothing is
    // removed without one of them.
    int nKeepLast = 0;
    int nKeepDays = 0;

    bool Repeats() const { return eRepeat != ERepeat::Once; }
    static const char* RepeatName(ERepeat eRepeat);
    static std::optional<ERepeat> RepeatFromName(const std::string& strName);

    // The repeat as a user writes it: "once", "daily", "weekly", "every:N"
    // (every N days), "weekdays" (Monday to Friday) or days of the week
    // ("mon,wed,fri", also after "weekdays:"). Sets eRepeat, nWeekdays and
    // nEveryDays; false with the reason for other text.
    bool ParseRepeat(const std::string& strText, std::string& strWhy);
    // The repeat as ParseRepeat() reads it.
    std::string RepeatText() const;
    static constexpr int kMaxEveryDays = 366;
    static constexpr int kMaxPadMinutes = 120;
    static constexpr int kMaxKeep = 10000;
};
