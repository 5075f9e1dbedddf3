#include "tests/e2e/ScriptedDataSource.h"

#include <cstdio>
#include <stdexcept>

#include "platform/db/DBException.h"
#include "platform/scheduler/ChildProcess.h"
#include "schedule/DataSourceId.h"
#include "schedule/TaskSet.h"

namespace {

std::string Text(const CDbValue& value) {
    const auto* pstr = std::get_if<std::string>(&value);
    return pstr ? *pstr : std::string();
}

}  // namespace

CScriptedDataSource::CScriptedDataSource(const std::filesystem::path& folder)
    : m_strOdbcIni((folder / "odbc.ini").string()), m_strDataHome((folder / "data").string()) {
    std::filesystem::create_directories(folder);
    SChildCommand setup;
    setup.argv = {"bash", KESTREL_SETUP_SCRIPT};
    setup.environment = CurrentEnvironment();
    setup.environment.push_back("ODBCINI=" + m_strOdbcIni);
    setup.environment.push_back("XDG_DATA_HOME=" + m_strDataHome);
    setup.timeout = std::chrono::seconds(60);
    const SChildResult result = RunChildProcess(setup);
    if (!result.Succeeded()) {
        throw std::runtime_error("the set-up step failed: " + result.strOut + result.strErr);
    }
    m_environment.Set("ODBCINI", m_strOdbcIni);
    m_environment.Set("XDG_DATA_HOME", m_strDataHome);
    try {
        m_strId = CDataSourceId::Obtain(m_driver);
        m_pConnection = m_driver.Connect("ODBC;DSN=KestrelRadio");
    } catch (const CDBException& error) {
        throw std::runtime_error("the data source cannot be used: " + error.ErrorText());
    }
    m_pOutcomes = std::make_unique<CTaskOutcomes>(m_driver);
}

CScriptedDataSource::~CScriptedDataSource() = default;

// SQLite numbers on from the highest id it ever gave, also after that row
// is gone.
void CScriptedDataSource::StartTaskIdsAt(int nFirst) {
    const std::vector<CDbValue> id = {std::int64_t{nFirst - 1}};
    m_pConnection->Execute("INSERT INTO Task (ID) VALUES (?)", id);
    m_pConnection->Execute("DELETE FROM Task WHERE ID = ?", id);
}

int CScriptedDataSource::AddTask(std::time_t begin, std::time_t end, std::uint32_t nChannelWord,
                                 const std::string& strMemo) {
    CTaskSet tasks(m_driver);
    if (!tasks.Open()) {
        throw std::runtime_error("the Task table cannot be opened: " + tasks.GetLastError());
    }
    tasks.AddNew();
    tasks.m_BeginTime = begin;
    tasks.m_EndTime = end;
    tasks.m_Channel = CTaskSet::ChannelText(nChannelWord);
    tasks.m_Memo = strMemo;
    if (!tasks.Update()) {
        throw std::runtime_error("the task cannot be stored: " + tasks.GetLastError());
    }
    return tasks.m_ID;
}

std::vector<SFileRow> CScriptedDataSource::FileRows() {
    std::vector<SFileRow> rows;
    const SDbResult result =
        m_pConnection->Select("SELECT Channel, BeginTime, Duration, FileName FROM FileList", {});
    for (const std::vector<CDbValue>& row : result.m_rows) {
        if (row.size() >= 4) {
            rows.push_back({Text(row[0]), Text(row[1]), Text(row[2]), Text(row[3])});
        }
    }
    return rows;
}

std::optional<STaskOutcome> CScriptedDataSource::Outcome(int nTask) {
    return m_pOutcomes->Find(nTask);
}

std::int64_t DurationSeconds(const std::string& strDuration) {
    int nHours = 0;
    int nMinutes = 0;
    int nSeconds = 0;
    char cEnd = 0;
    if (std::sscanf(strDuration.c_str(), "%d:%d:%d%c", &nHours, &nMinutes, &nSeconds, &cEnd) != 3) {
        return -1;
    }
    return std::int64_t{nHours} * 3600 + nMinutes * 60 + nSeconds;
}
