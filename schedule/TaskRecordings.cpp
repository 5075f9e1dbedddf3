#include "schedule/TaskRecordings.h"

namespace {
constexpr const char* kTag = "recordings";
}

CTaskRecordings::CTaskRecordings(CDbDriver& driver, std::string strConnect)
    : m_table(driver, std::move(strConnect), {CreateStatement()}, kTag) {}

CTaskRecordings::~CTaskRecordings() = default;

std::string CTaskRecordings::CreateStatement() {
    return std::string("CREATE TABLE IF NOT EXISTS ") + kTable +
           " (FileID INTEGER PRIMARY KEY, TaskID INTEGER, StartedAt BIGINT)";
}

CStatus CTaskRecordings::Open() {
    return m_table.Open();
}

CStatus CTaskRecordings::Record(const SRecording& recording) {
    const CDbValue file = std::int64_t{recording.nFile};
    return m_table.Execute(
        "record recording " + std::to_string(recording.nFile),
        {{std::string("DELETE FROM ") + kTable + " WHERE FileID = ?", {file}},
         {std::string("INSERT INTO ") + kTable + " (FileID, TaskID, StartedAt) VALUES (?, ?, ?)",
          {file, std::int64_t{recording.nTask}, static_cast<std::int64_t>(recording.started)}}});
}

std::vector<CTaskRecordings::SRecording> CTaskRecordings::ForTask(int nTask) {
    std::vector<SRecording> recordings;
    const std::optional<SDbResult> result =
        m_table.Select("read the recordings of task " + std::to_string(nTask),
                       std::string("SELECT FileID, TaskID, StartedAt FROM ") + kTable +
                           " WHERE TaskID = ? ORDER BY StartedAt, FileID",
                       {std::int64_t{nTask}});
    if (!result) {
        return recordings;
    }
    for (const std::vector<CDbValue>& row : result->m_rows) {
        if (row.size() >= 3) {
            recordings.push_back({static_cast<int>(CTableConnection::Integer(row[0])),
                                  static_cast<int>(CTableConnection::Integer(row[1])),
                                  static_cast<std::time_t>(CTableConnection::Integer(row[2]))});
        }
    }
    return recordings;
}

CStatus CTaskRecordings::Forget(int nFile) {
    return m_table.Execute(
        "forget recording " + std::to_string(nFile),
        {{std::string("DELETE FROM ") + kTable + " WHERE FileID = ?", {std::int64_t{nFile}}}});
}
