#include "schedule/TaskRecordings.h"

#include <cstdlib>

#include "platform/db/DBException.h"
#include "platform/db/DbDriver.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "recordings";

std::int64_t ToInteger(const CDbValue& value) {
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        return *pn;
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return std::strtoll(pstr->c_str(), nullptr, 10);
    }
    return 0;
}

CStatus Fail(const std::string& strWhat, const std::string& strError) {
    KestrelTrace(kTag, "%s: %s", strWhat.c_str(), strError.c_str());
    return CStatus::Failed(strError);
}

}  // namespace

CTaskRecordings::CTaskRecordings(CDbDriver& driver, std::string strConnect)
    : m_driver(driver), m_strConnect(std::move(strConnect)) {}

CTaskRecordings::~CTaskRecordings() = default;

std::string CTaskRecordings::CreateStatement() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kTable +
           " (FileID INTEGER PRIMARY KEY, TaskID INTEGER, StartedAt BIGINT)";
}

CStatus CTaskRecordings::Open() {
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

CStatus CTaskRecordings::Record(const SRecording& recording) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    try {
        m_pConnection->Execute(std::string("DELETE FROM ") + kTable + " WHERE FileID = ?",
                               {std::int64_t{recording.nFile}});
        m_pConnection->Execute(
            std::string("INSERT INTO ") + kTable + " (FileID, TaskID, StartedAt) VALUES (?, ?, ?)",
            {std::int64_t{recording.nFile}, std::int64_t{recording.nTask},
             static_cast<std::int64_t>(recording.started)});
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("record recording " + std::to_string(recording.nFile), error.ErrorText());
    }
}

std::vector<CTaskRecordings::SRecording> CTaskRecordings::ForTask(int nTask) {
    std::vector<SRecording> recordings;
    if (!Open()) {
        return recordings;
    }
    try {
        const SDbResult result =
            m_pConnection->Select(std::string("SELECT FileID, TaskID, StartedAt FROM ") + kTable +
                                      " WHERE TaskID = ? ORDER BY StartedAt, FileID",
                                  {std::int64_t{nTask}});
        for (const std::vector<CDbValue>& row : result.m_rows) {
            if (row.size() >= 3) {
                recordings.push_back({static_cast<int>(ToInteger(row[0])),
                                      static_cast<int>(ToInteger(row[1])),
                                      static_cast<std::time_t>(ToInteger(row[2]))});
            }
        }
    } catch (const CDBException& error) {
        Fail("read the recordings of task " + std::to_string(nTask), error.ErrorText());
    }
    return recordings;
}

CStatus CTaskRecordings::Forget(int nFile) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    try {
        m_pConnection->Execute(std::string("DELETE FROM ") + kTable + " WHERE FileID = ?",
                               {std::int64_t{nFile}});
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("forget recording " + std::to_string(nFile), error.ErrorText());
    }
}
