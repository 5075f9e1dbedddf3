#include "schedule/TaskRules.h"

namespace {

constexpr const char* kTag = "rules";
constexpr const char* kColumns =
    "TaskID, RepeatRule, Weekdays, EveryDays, FirstBegin, Length, UntilTime, MaxTimes, "
    "PadBefore, PadAfter, Enabled, KeepLast, KeepDays";
constexpr size_t kColumnCount = 13;

std::int64_t ToInteger(const CDbValue& value) {
    return CTableConnection::Integer(value);
}

int ToInt(const CDbValue& value) {
    return static_cast<int>(ToInteger(value));
}

// A rule another program wrote that Kestrel cannot read records once.
STaskRule FromRow(const std::vector<CDbValue>& row) {
    STaskRule rule;
    rule.nTask = ToInt(row[0]);
    rule.eRepeat = STaskRule::RepeatFromName(CTableConnection::Text(row[1]))
                       .value_or(STaskRule::ERepeat::Once);
    rule.nWeekdays = ToInt(row[2]);
    rule.nEveryDays = ToInt(row[3]);
    rule.first = static_cast<std::time_t>(ToInteger(row[4]));
    rule.nLength = ToInteger(row[5]);
    rule.until = static_cast<std::time_t>(ToInteger(row[6]));
    rule.nTimes = ToInt(row[7]);
    rule.nPadBefore = ToInt(row[8]);
    rule.nPadAfter = ToInt(row[9]);
    rule.bEnabled = ToInteger(row[10]) != 0;
    rule.nKeepLast = ToInt(row[11]);
    rule.nKeepDays = ToInt(row[12]);
    return rule;
}

}  // namespace

CTaskRules::CTaskRules(CDbDriver& driver, std::string strConnect)
    : m_table(driver, std::move(strConnect), {CreateStatement()}, kTag) {}

CTaskRules::~CTaskRules() = default;

// Plain types that SQLite and PostgreSQL read alike; times are numbers.
std::string CTaskRules::CreateStatement() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kTable +
           " (TaskID INTEGER PRIMARY KEY, RepeatRule VARCHAR(16), Weekdays INTEGER,"
           " EveryDays INTEGER, FirstBegin BIGINT, Length BIGINT, UntilTime BIGINT,"
           " MaxTimes INTEGER, PadBefore INTEGER, PadAfter INTEGER, Enabled INTEGER,"
           " KeepLast INTEGER, KeepDays INTEGER)";
}

CStatus CTaskRules::Open() {
    return m_table.Open();
}

CStatus CTaskRules::Record(const STaskRule& rule) {
    const std::vector<CDbValue> values = {
        std::int64_t{rule.nTask},
        std::string(STaskRule::RepeatName(rule.eRepeat)),
        std::int64_t{rule.nWeekdays},
        std::int64_t{rule.nEveryDays},
        static_cast<std::int64_t>(rule.first),
        rule.nLength,
        static_cast<std::int64_t>(rule.until),
        std::int64_t{rule.nTimes},
        std::int64_t{rule.nPadBefore},
        std::int64_t{rule.nPadAfter},
        std::int64_t{rule.bEnabled ? 1 : 0},
        std::int64_t{rule.nKeepLast},
        std::int64_t{rule.nKeepDays},
    };
    return m_table.Execute(
        "record the rule of task " + std::to_string(rule.nTask),
        {{std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?", {values[0]}},
         {std::string("INSERT INTO ") + kTable + " (" + kColumns +
              ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          values}});
}

std::optional<STaskRule> CTaskRules::Find(int nTask) {
    const std::optional<SDbResult> result =
        m_table.Select("read the rule of task " + std::to_string(nTask),
                       std::string("SELECT ") + kColumns + " FROM " + kTable + " WHERE TaskID = ?",
                       {std::int64_t{nTask}});
    if (!result || result->m_rows.empty() || result->m_rows[0].size() < kColumnCount) {
        return std::nullopt;
    }
    return FromRow(result->m_rows[0]);
}

std::map<int, STaskRule> CTaskRules::All() {
    std::map<int, STaskRule> rules;
    const std::optional<SDbResult> result =
        m_table.Select("read the rules", std::string("SELECT ") + kColumns + " FROM " + kTable);
    if (!result) {
        return rules;
    }
    for (const std::vector<CDbValue>& row : result->m_rows) {
        if (row.size() >= kColumnCount) {
            STaskRule rule = FromRow(row);
            rules[rule.nTask] = rule;
        }
    }
    return rules;
}

CStatus CTaskRules::Forget(int nTask) {
    return m_table.Execute(
        "forget the rule of task " + std::to_string(nTask),
        {{std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?", {std::int64_t{nTask}}}});
}

CStatus CTaskRules::MoveTask(int nTask, std::time_t begin, std::time_t end) {
    return m_table.Execute("move task " + std::to_string(nTask),
                           {{"UPDATE Task SET BeginTime = ?, EndTime = ? WHERE ID = ?",
                             {SDbTime{begin}, SDbTime{end}, std::int64_t{nTask}}}});
}
