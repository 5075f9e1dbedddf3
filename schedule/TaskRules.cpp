#include "schedule/TaskRules.h"

#include <cstdlib>

#include "platform/db/DBException.h"
#include "platform/db/DbDriver.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "rules";
constexpr const char* kColumns =
    "TaskID, RepeatRule, Weekdays, EveryDays, FirstBegin, Length, UntilTime, MaxTimes, "
    "PadBefore, PadAfter, Enabled, KeepLast, KeepDays";
constexpr size_t kColumnCount = 13;

std::int64_t ToInteger(const CDbValue& value) {
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        return *pn;
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return std::strtoll(pstr->c_str(), nullptr, 10);
    }
    return 0;
}

int ToInt(const CDbValue& value) {
    return static_cast<int>(ToInteger(value));
}

std::string ToText(const CDbValue& value) {
    const auto* pstr = std::get_if<std::string>(&value);
    return pstr ? *pstr : std::string();
}

// A rule another program wrote that Kestrel cannot read records once.
STaskRule FromRow(const std::vector<CDbValue>& row) {
    STaskRule rule;
    rule.nTask = ToInt(row[0]);
    rule.eRepeat = STaskRule::RepeatFromName(ToText(row[1])).value_or(STaskRule::ERepeat::Once);
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
    : m_driver(driver), m_strConnect(std::move(strConnect)) {}

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
    if (m_pConnection) {
        return CStatus::Ok();
    }
    try {
        std::unique_ptr<CDbConnection> pConnection = m_driver.Connect(m_strConnect);
        pConnection->Execute(CreateStatement(), {});
        m_pConnection = std::move(pConnection);
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("open", error.ErrorText());
    }
}

CStatus CTaskRules::Fail(const std::string& strWhat, const std::string& strError) {
    KestrelTrace(kTag, "%s: %s", strWhat.c_str(), strError.c_str());
    return CStatus::Failed(strError);
}

CStatus CTaskRules::Record(const STaskRule& rule) {
    if (CStatus status = Open(); !status) {
        return status;
    }
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
    try {
        m_pConnection->Execute(std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?",
                               {values[0]});
        m_pConnection->Execute(std::string("INSERT INTO ") + kTable + " (" + kColumns +
                                   ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                               values);
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("record the rule of task " + std::to_string(rule.nTask), error.ErrorText());
    }
}

std::optional<STaskRule> CTaskRules::Find(int nTask) {
    if (!Open()) {
        return std::nullopt;
    }
    try {
        const SDbResult result = m_pConnection->Select(
            std::string("SELECT ") + kColumns + " FROM " + kTable + " WHERE TaskID = ?",
            {std::int64_t{nTask}});
        if (result.m_rows.empty() || result.m_rows[0].size() < kColumnCount) {
            return std::nullopt;
        }
        return FromRow(result.m_rows[0]);
    } catch (const CDBException& error) {
        Fail("read the rule of task " + std::to_string(nTask), error.ErrorText());
        return std::nullopt;
    }
}

std::map<int, STaskRule> CTaskRules::All() {
    std::map<int, STaskRule> rules;
    if (!Open()) {
        return rules;
    }
    try {
        const SDbResult result =
            m_pConnection->Select(std::string("SELECT ") + kColumns + " FROM " + kTable, {});
        for (const std::vector<CDbValue>& row : result.m_rows) {
            if (row.size() >= kColumnCount) {
                STaskRule rule = FromRow(row);
                rules[rule.nTask] = rule;
            }
        }
    } catch (const CDBException& error) {
        Fail("read the rules", error.ErrorText());
    }
    return rules;
}

CStatus CTaskRules::Forget(int nTask) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    try {
        m_pConnection->Execute(std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?",
                               {std::int64_t{nTask}});
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("forget the rule of task " + std::to_string(nTask), error.ErrorText());
    }
}

CStatus CTaskRules::MoveTask(int nTask, std::time_t begin, std::time_t end) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    try {
        m_pConnection->Execute("UPDATE Task SET BeginTime = ?, EndTime = ? WHERE ID = ?",
                               {SDbTime{begin}, SDbTime{end}, std::int64_t{nTask}});
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("move task " + std::to_string(nTask), error.ErrorText());
    }
}
