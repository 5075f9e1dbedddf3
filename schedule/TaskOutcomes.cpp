#include "schedule/TaskOutcomes.h"

#include "platform/text/Utf8Text.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "outcomes";
constexpr size_t kMaxText = 255;
constexpr const char* kColumns = "TaskID, Outcome, Reason, FileName, Duration, EndedAt";

struct SKindName {
    STaskOutcome::EKind eKind;
    const char* pName;
};
constexpr SKindName kKindNames[] = {
    {STaskOutcome::EKind::Recorded, "recorded"},
    {STaskOutcome::EKind::Partial, "partial"},
    {STaskOutcome::EKind::Missed, "missed"},
    {STaskOutcome::EKind::Failed, "failed"},
};

std::int64_t ToInteger(const CDbValue& value) {
    return CTableConnection::Integer(value);
}

std::string ToText(const CDbValue& value) {
    return CTableConnection::Text(value);
}

// A reason is ours to word; a file name must stay whole, and one that does not
// fit was never catalogued either.
std::string Storable(const std::string& strText) {
    return CUtf8Text::IsValid(strText) ? CUtf8Text::Cut(strText, kMaxText) : std::string();
}

STaskOutcome FromRow(const std::vector<CDbValue>& row) {
    STaskOutcome outcome;
    outcome.nTask = static_cast<int>(ToInteger(row[0]));
    outcome.eKind = STaskOutcome::KindFromName(ToText(row[1]));
    outcome.strReason = ToText(row[2]);
    outcome.strFile = ToText(row[3]);
    outcome.nSeconds = ToInteger(row[4]);
    outcome.ended = static_cast<std::time_t>(ToInteger(row[5]));
    return outcome;
}

}  // namespace

const char* STaskOutcome::KindName(EKind eKind) {
    for (const SKindName& entry : kKindNames) {
        if (entry.eKind == eKind) {
            return entry.pName;
        }
    }
    return "failed";
}

STaskOutcome::EKind STaskOutcome::KindFromName(const std::string& strName) {
    for (const SKindName& entry : kKindNames) {
        if (strName == entry.pName) {
            return entry.eKind;
        }
    }
    return EKind::Failed;
}

CTaskOutcomes::CTaskOutcomes(CDbDriver& driver, std::string strConnect)
    : m_table(driver, std::move(strConnect), {CreateStatement(), CreateLogStatement()}, kTag) {}

CTaskOutcomes::~CTaskOutcomes() = default;

// Plain types that SQLite and PostgreSQL read alike; the times are kept as
// numbers, so no time zone or timestamp dialect comes into it.
std::string CTaskOutcomes::CreateStatement() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kTable +
           " (TaskID INTEGER PRIMARY KEY, Outcome VARCHAR(255), Reason VARCHAR(255),"
           " FileName VARCHAR(255), Duration BIGINT, EndedAt BIGINT)";
}

std::string CTaskOutcomes::CreateLogStatement() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kLogTable +
           " (TaskID INTEGER, Outcome VARCHAR(255), Reason VARCHAR(255),"
           " FileName VARCHAR(255), Duration BIGINT, EndedAt BIGINT)";
}

CStatus CTaskOutcomes::Open() {
    return m_table.Open();
}

CStatus CTaskOutcomes::Record(const STaskOutcome& outcome) {
    const std::vector<CDbValue> values = {
        std::int64_t{outcome.nTask},    std::string(STaskOutcome::KindName(outcome.eKind)),
        Storable(outcome.strReason),    Storable(outcome.strFile),
        std::int64_t{outcome.nSeconds}, std::int64_t{outcome.ended},
    };
    const std::string strInsert = std::string(" (") + kColumns + ") VALUES (?, ?, ?, ?, ?, ?)";
    return m_table.Execute(
        "record the outcome of task " + std::to_string(outcome.nTask),
        {{std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?", {values[0]}},
         {std::string("INSERT INTO ") + kTable + strInsert, values},
         {std::string("INSERT INTO ") + kLogTable + strInsert, values}});
}

std::optional<STaskOutcome> CTaskOutcomes::Find(int nTask) {
    const std::optional<SDbResult> result =
        m_table.Select("read the outcome of task " + std::to_string(nTask),
                       std::string("SELECT ") + kColumns + " FROM " + kTable + " WHERE TaskID = ?",
                       {std::int64_t{nTask}});
    if (!result || result->m_rows.empty() || result->m_rows[0].size() < 6) {
        return std::nullopt;
    }
    return FromRow(result->m_rows[0]);
}

std::map<int, STaskOutcome> CTaskOutcomes::All() {
    std::map<int, STaskOutcome> outcomes;
    const std::optional<SDbResult> result =
        m_table.Select("read the outcomes", std::string("SELECT ") + kColumns + " FROM " + kTable);
    if (!result) {
        return outcomes;
    }
    for (const std::vector<CDbValue>& row : result->m_rows) {
        if (row.size() >= 6) {
            STaskOutcome outcome = FromRow(row);
            outcomes[outcome.nTask] = std::move(outcome);
        }
    }
    return outcomes;
}

std::vector<STaskOutcome> CTaskOutcomes::History(int nTask, size_t nMax) {
    std::vector<STaskOutcome> outcomes;
    const std::optional<SDbResult> result =
        m_table.Select("read the history of task " + std::to_string(nTask),
                       std::string("SELECT ") + kColumns + " FROM " + kLogTable +
                           " WHERE TaskID = ? ORDER BY EndedAt DESC",
                       {std::int64_t{nTask}});
    if (!result) {
        return outcomes;
    }
    for (const std::vector<CDbValue>& row : result->m_rows) {
        if (row.size() >= 6 && outcomes.size() < nMax) {
            outcomes.push_back(FromRow(row));
        }
    }
    return outcomes;
}

CStatus CTaskOutcomes::Forget(int nTask) {
    const std::vector<CDbValue> task = {std::int64_t{nTask}};
    return m_table.Execute("forget the outcome of task " + std::to_string(nTask),
                           {{std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?", task},
                            {std::string("DELETE FROM ") + kLogTable + " WHERE TaskID = ?", task}});
}
