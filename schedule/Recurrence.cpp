#include "schedule/Recurrence.h"

namespace {

// Beyond these the rule is taken as ended: a weekly task reaches them after
// nineteen centuries, a daily one after 270 years.
constexpr int kMaxOccurrences = 100000;
constexpr int kMaxDays = 7 * kMaxOccurrences;

std::tm LocalTime(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

}  // namespace

int CRecurrence::Weekday(std::time_t t) {
    return LocalTime(t).tm_wday;
}

std::time_t CRecurrence::DaysOn(int nDays) const {
    std::tm local = LocalTime(m_rule.first);
    local.tm_mday += nDays;
    local.tm_isdst = -1;  // whatever the new date's is
    return std::mktime(&local);
}

std::optional<int> CRecurrence::DayOf(int nIndex) const {
    switch (m_rule.eRepeat) {
        case STaskRule::ERepeat::Once:
            return nIndex == 0 ? std::optional<int>(0) : std::nullopt;
        case STaskRule::ERepeat::Daily:
            return nIndex;
        case STaskRule::ERepeat::Weekly:
            return 7 * nIndex;
        case STaskRule::ERepeat::EveryDays:
            return m_rule.nEveryDays > 0 ? std::optional<int>(m_rule.nEveryDays * nIndex)
                                         : std::nullopt;
        case STaskRule::ERepeat::Weekdays:
            break;
    }
    if ((m_rule.nWeekdays & 0x7F) == 0) {
        return std::nullopt;
    }
    const int nFirstDay = Weekday(m_rule.first);
    int nFound = -1;
    for (int nDay = 0; nDay < kMaxDays; ++nDay) {
        if (m_rule.nWeekdays & (1 << ((nFirstDay + nDay) % 7))) {
            if (++nFound == nIndex) {
                return nDay;
            }
        }
    }
    return std::nullopt;
}

std::optional<CRecurrence::SSpan> CRecurrence::At(int nIndex) const {
    if (nIndex < 0 || nIndex >= kMaxOccurrences || (m_rule.nTimes > 0 && nIndex >= m_rule.nTimes)) {
        return std::nullopt;
    }
    const std::optional<int> nDay = DayOf(nIndex);
    if (!nDay) {
        return std::nullopt;
    }
    SSpan span;
    span.nIndex = nIndex;
    span.begin = DaysOn(*nDay);
    if (m_rule.until != 0 && span.begin > m_rule.until) {
        return std::nullopt;
    }
    span.start = span.begin - 60 * static_cast<std::time_t>(m_rule.nPadBefore);
    span.finish = span.begin + m_rule.nLength + 60 * static_cast<std::time_t>(m_rule.nPadAfter);
    return span;
}

std::optional<CRecurrence::SSpan> CRecurrence::Next(std::time_t tAfter, int nAfterIndex) const {
    for (int n = nAfterIndex + 1; n < kMaxOccurrences; ++n) {
        const std::optional<SSpan> span = At(n);
        if (!span) {
            return std::nullopt;
        }
        if (span->start > tAfter) {
            return span;
        }
    }
    return std::nullopt;
}

std::vector<CRecurrence::SSpan> CRecurrence::Within(std::time_t from, std::time_t to) const {
    std::vector<SSpan> spans;
    for (int n = 0; n < kMaxOccurrences; ++n) {
        const std::optional<SSpan> span = At(n);
        if (!span || span->start > to) {
            break;
        }
        if (span->finish >= from) {
            spans.push_back(*span);
        }
    }
    return spans;
}
