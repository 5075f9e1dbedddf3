#include "schedule/TaskOutcomes.h"

#include <cstdlib>

#include "platform/db/DBException.h"
#include "platform/db/DbDriver.h"
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
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        return *pn;
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return std::strtoll(pstr->c_str(), nullptr, 10);
    }
    return 0;
}

std::string ToText(const CDbValue& value) {
    const auto* pstr = std::get_if<std::string>(&value);
    return pstr ? *pstr : std::string();
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
    : m_driver(driver), m_strConnect(std::move(strConnect)) {}

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
    if (m_pConnection) {
        return CStatus::Ok();
    }
    try {
        std::unique_ptr<CDbConnection> pConnection = m_driver.Connect(m_strConnect);
        pConnection->Execute(CreateStatement(), {});
        pConnection->Execute(CreateLogStatement(), {});
        m_pConnection = std::move(pConnection);
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("open", error.ErrorText());
    }
}

CStatus CTaskOutcomes::Fail(const std::string& strWhat, const std::string& strError) {
    KestrelTrace(kTag, "%s: %s", strWhat.c_str(), strError.c_str());
    return CStatus::Failed(strError);
}

CStatus CTaskOutcomes::Record(const STaskOutcome& outcome) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    const std::vector<CDbValue> values = {
        std::int64_t{outcome.nTask},    std::string(STaskOutcome::KindName(outcome.eKind)),
        Storable(outcome.strReason),    Storable(outcome.strFile),
        std::int64_t{outcome.nSeconds}, std::int64_t{outcome.ended},
    };
    try {
        m_pConnection->Execute(std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?",
                               {values[0]});
        m_pConnection->Execute(
            std::string("INSERT INTO ") + kTable + " (" + kColumns + ") VALUES (?, ?, ?, ?, ?, ?)",
            values);
        m_pConnection->Execute(std::string("INSERT INTO ") + kLogTable + " (" + kColumns +
                                   ") VALUES (?, ?, ?, ?, ?, ?)",
                               values);
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("record the outcome of task " + std::to_string(outcome.nTask),
                    error.ErrorText());
    }
}

std::optional<STaskOutcome> CTaskOutcomes::Find(int nTask) {
    if (!Open()) {
        return std::nullopt;
    }
    try {
        const SDbResult result = m_pConnection->Select(
            std::string("SELECT ") + kColumns + " FROM " + kTable + " WHERE TaskID = ?",
            {std::int64_t{nTask}});
        if (result.m_rows.empty() || result.m_rows[0].size() < 6) {
            return std::nullopt;
        }
        return FromRow(result.m_rows[0]);
    } catch (const CDBException& error) {
        Fail("read the outcome of task " + std::to_string(nTask), error.ErrorText());
        return std::nullopt;
    }
}

std::map<int, STaskOutcome> CTaskOutcomes::All() {
    std::map<int, STaskOutcome> outcomes;
    if (!Open()) {
        return outcomes;
    }
    try {
        const SDbResult result =
            m_pConnection->Select(std::string("SELECT ") + kColumns + " FROM " + kTable, {});
        for (const std::vector<CDbValue>& row : result.m_rows) {
            if (row.size() >= 6) {
                STaskOutcome outcome = FromRow(row);
                outcomes[outcome.nTask] = std::move(outcome);
            }
        }
    } catch (const CDBException& error) {
        Fail("read the outcomes", error.ErrorText());
    }
    return outcomes;
}

std::vector<STaskOutcome> CTaskOutcomes::History(int nTask, size_t nMax) {
    std::vector<STaskOutcome> outcomes;
    if (!Open()) {
        return outcomes;
    }
    try {
        const SDbResult result =
            m_pConnection->Select(std::string("SELECT ") + kColumns + " FROM " + kLogTable +
                                      " WHERE TaskID = ? ORDER BY EndedAt DESC",
                                  {std::int64_t{nTask}});
        for (const std::vector<CDbValue>& row : result.m_rows) {
            if (row.size() >= 6 && outcomes.size() < nMax) {
                outcomes.push_back(FromRow(row));
            }
        }
    } catch (const CDBException& error) {
        Fail("read the history of task " + std::to_string(nTask), error.ErrorText());
    }
    return outcomes;
}

CStatus CTaskOutcomes::Forget(int nTask) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    try {
        m_pConnection->Execute(std::string("DELETE FROM ") + kTable + " WHERE TaskID = ?",
                               {std::int64_t{nTask}});
        m_pConnection->Execute(std::string("DELETE FROM ") + kLogTable + " WHERE TaskID = ?",
                               {std::int64_t{nTask}});
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("forget the outcome of task " + std::to_string(nTask), error.ErrorText());
    }
}
