#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "schedule/Recurrence.h"
#include "schedule/TaskConflicts.h"

namespace {

// The local zone for one test, put back after it.
class CScopedZone {
public:
    explicit CScopedZone(const char* pZone) {
        if (const char* pOld = std::getenv("TZ")) {
            m_strOld = pOld;
            m_bHadOld = true;
        }
        setenv("TZ", pZone, 1);
        tzset();
    }
    ~CScopedZone() {
        if (m_bHadOld) {
            setenv("TZ", m_strOld.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    CScopedZone(const CScopedZone&) = delete;
    CScopedZone& operator=(const CScopedZone&) = delete;

private:
    std::string m_strOld;
    bool m_bHadOld = false;
};

std::time_t Local(int nYear, int nMonth, int nDay, int nHour, int nMinute) {
    std::tm local{};
    local.tm_year = nYear - 1900;
    local.tm_mon = nMonth - 1;
    local.tm_mday = nDay;
    local.tm_hour = nHour;
    local.tm_min = nMinute;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::string Text(std::time_t t) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M %a", &local);
    return text;
}

STaskRule Rule(STaskRule::ERepeat eRepeat, std::time_t first, int nMinutes = 60) {
    STaskRule rule;
    rule.eRepeat = eRepeat;
    rule.first = first;
    rule.nLength = 60 * nMinutes;
    return rule;
}

std::vector<std::string> Begins(const STaskRule& rule, int nCount) {
    std::vector<std::string> begins;
    const CRecurrence recurrence(rule);
    for (int n = 0; n < nCount; ++n) {
        if (const auto span = recurrence.At(n)) {
            begins.push_back(Text(span->begin));
        }
    }
    return begins;
}

TEST(RecurrenceTest, ADailyTaskKeepsItsWallClockTimeAcrossDaylightSavingChanges) {
    const CScopedZone zone("Europe/Berlin");
    const STaskRule spring = Rule(STaskRule::ERepeat::Daily, Local(2027, 3, 27, 7, 0));
    EXPECT_EQ(Begins(spring, 3),
              (std::vector<std::string>{"2027-03-27 07:00 Sat", "2027-03-28 07:00 Sun",
                                        "2027-03-29 07:00 Mon"}));
    const CRecurrence recurrence(spring);
    EXPECT_EQ(recurrence.At(1)->begin - recurrence.At(0)->begin, 23 * 3600);  // an hour lost

    const STaskRule autumn = Rule(STaskRule::ERepeat::Daily, Local(2026, 10, 24, 7, 0));
    const CRecurrence later(autumn);
    EXPECT_EQ(Text(later.At(1)->begin), "2026-10-25 07:00 Sun");
    EXPECT_EQ(later.At(1)->begin - later.At(0)->begin, 25 * 3600);

    // 02:30 does not exist on the spring day: that one is at 03:30.
    const STaskRule night = Rule(STaskRule::ERepeat::Daily, Local(2027, 3, 27, 2, 30));
    EXPECT_EQ(Begins(night, 3),
              (std::vector<std::string>{"2027-03-27 02:30 Sat", "2027-03-28 03:30 Sun",
                                        "2027-03-29 02:30 Mon"}));
}

TEST(RecurrenceTest, EachRuleGivesItsDays) {
    const CScopedZone zone("UTC");
    const std::time_t tuesday = Local(2026, 12, 8, 18, 0);
    STaskRule days = Rule(STaskRule::ERepeat::Weekdays, tuesday);
    days.nWeekdays = (1 << 1) | (1 << 3) | (1 << 5);  // Monday, Wednesday, Friday
    EXPECT_EQ(Begins(days, 4),
              (std::vector<std::string>{"2026-12-09 18:00 Wed", "2026-12-11 18:00 Fri",
                                        "2026-12-14 18:00 Mon", "2026-12-16 18:00 Wed"}));
    EXPECT_EQ(Begins(Rule(STaskRule::ERepeat::Weekly, tuesday), 2),
              (std::vector<std::string>{"2026-12-08 18:00 Tue", "2026-12-15 18:00 Tue"}));
    STaskRule every = Rule(STaskRule::ERepeat::EveryDays, tuesday);
    every.nEveryDays = 10;
    EXPECT_EQ(Begins(every, 3),
              (std::vector<std::string>{"2026-12-08 18:00 Tue", "2026-12-18 18:00 Fri",
                                        "2026-12-28 18:00 Mon"}));
    EXPECT_EQ(Begins(Rule(STaskRule::ERepeat::Once, tuesday), 3).size(), 1u);
    days.nWeekdays = 0;
    EXPECT_TRUE(Begins(days, 3).empty());  // no day to record on
}

TEST(RecurrenceTest, ASeriesEndsOnItsLastDayOrAfterItsCountAndPaddingWidensEachRecording) {
    const CScopedZone zone("UTC");
    STaskRule rule = Rule(STaskRule::ERepeat::Daily, Local(2026, 12, 9, 18, 0), 30);
    rule.until = Local(2026, 12, 11, 23, 59);
    EXPECT_EQ(Begins(rule, 10).size(), 3u);
    rule.until = 0;
    rule.nTimes = 2;
    EXPECT_EQ(Begins(rule, 10).size(), 2u);

    rule.nTimes = 0;
    rule.nPadBefore = 2;
    rule.nPadAfter = 5;
    const CRecurrence recurrence(rule);
    const auto first = recurrence.At(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(Text(first->start), "2026-12-09 17:58 Wed");
    EXPECT_EQ(Text(first->finish), "2026-12-09 18:35 Wed");

    // The next recording to start after a time: occurrences already begun
    // (their padding included) are behind it.
    EXPECT_EQ(Text(recurrence.Next(Local(2026, 12, 10, 17, 58))->begin), "2026-12-11 18:00 Fri");
    EXPECT_EQ(Text(recurrence.Next(Local(2026, 12, 10, 17, 57))->begin), "2026-12-10 18:00 Thu");
    EXPECT_EQ(recurrence.Within(Local(2026, 12, 9, 0, 0), Local(2027, 2, 7, 0, 0)).size(), 60u);
}

TEST(RecurrenceTest, RepeatsAreWrittenAsTheCommandLineTakesThem) {
    STaskRule rule;
    std::string strWhy;
    for (const char* pText :
         {"once", "daily", "weekly", "weekdays", "every:3", "mon,wed,fri", "sat,sun"}) {
        ASSERT_TRUE(rule.ParseRepeat(pText, strWhy)) << pText << ": " << strWhy;
        EXPECT_EQ(rule.RepeatText(), pText);
    }
    ASSERT_TRUE(rule.ParseRepeat("Weekdays:Monday,Friday", strWhy));
    EXPECT_EQ(rule.RepeatText(), "mon,fri");
    ASSERT_TRUE(rule.ParseRepeat("weekdays", strWhy));
    EXPECT_EQ(rule.nWeekdays, 0x3E);
    for (const char* pText :
         {"", "hourly", "every:0", "every:", "every:9999", "mon,,fri", "every:2x", "mo"}) {
        EXPECT_FALSE(rule.ParseRepeat(pText, strWhy)) << pText;
        EXPECT_FALSE(strWhy.empty());
    }
}

TEST(TaskConflictsTest, EachPairThatWouldRecordAtOnceIsNamedOnceAtItsFirstMeeting) {
    const CScopedZone zone("UTC");
    const std::time_t monday = Local(2026, 12, 14, 18, 0);
    STaskRule weekly = Rule(STaskRule::ERepeat::Weekly, monday);
    weekly.nTask = 1;
    const CTaskConflicts::STask weeklyTask{1, monday, monday + 3600, weekly};
    // Three weeks on, half an hour into the weekly hour.
    const std::time_t later = monday + 21 * 86400 + 1800;
    const CTaskConflicts::STask onceTask{2, later, later + 600, std::nullopt};
    // It begins when the weekly one ends: ends count.
    const CTaskConflicts::STask touching{3, monday + 3600, monday + 4000, std::nullopt};
    const std::time_t from = monday - 86400;
    const auto conflicts =
        CTaskConflicts::Find({weeklyTask, onceTask, touching}, from, from + 60 * 86400);
    ASSERT_EQ(conflicts.size(), 2u);
    EXPECT_EQ(conflicts[0].nFirst, 1);
    EXPECT_EQ(conflicts[0].nSecond, 3);
    EXPECT_EQ(conflicts[1].nSecond, 2);
    EXPECT_EQ(conflicts[1].when, later);

    weekly.bEnabled = false;
    const CTaskConflicts::STask off{1, monday, monday + 3600, weekly};
    EXPECT_TRUE(CTaskConflicts::Find({off, onceTask, touching}, from, from + 60 * 86400).empty());
}

}  // namespace
