#pragma once

#include <ctime>
#include <optional>
#include <utility>
#include <vector>

#include "schedule/TaskRule.h"

// The occurrences of a task's rule, in local wall-clock time: a daily 07:00
// task is at 07:00 before and after a change of daylight saving time. A
// wall-clock time the change skips moves on by the hour skipped.
class CRecurrence {
public:
    // One occurrence, with the padding: the span the recording runs.
    struct SSpan {
        int nIndex = 0;          // 0 is the first occurrence
        std::time_t begin = 0;   // programme's begin
        std::time_t start = 0;   // begin less the padding before
        std::time_t finish = 0;  // end plus the padding after
    };

    explicit CRecurrence(const STaskRule& rule) : m_rule(rule) {}

    // Occurrence n; none past the rule's last one.
    std::optional<SSpan> At(int nIndex) const;
    // The first occurrence after nAfter (its index above nAfter's) whose
    // recording starts after the time given; none when the rule has ended.
    std::optional<SSpan> Next(std::time_t tAfter, int nAfterIndex = -1) const;
    // The occurrences whose recordings overlap from..to.
    std::vector<SSpan> Within(std::time_t from, std::time_t to) const;

    // The rule's days of the week: bit 0 Sunday ... bit 6 Saturday.
    static int Weekday(std::time_t t);

private:
    // The local date of the first occurrence moved on by nDays, at its time of day.
    std::time_t DaysOn(int nDays) const;
    // The day (counted from the first's) of occurrence n; none when no day matches.
    std::optional<int> DayOf(int nIndex) const;

    STaskRule m_rule;
};
