#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/OdbcDriver.h"
#include "schedule/TaskOutcome.h"
#include "schedule/TaskOutcomes.h"
#include "tests/e2e/ScopedEnvironment.h"

// One FileList row as the catalogue holds it.
struct SFileRow {
    std::string strChannel;
    std::string strBeginTime;
    std::string strDuration;
    std::string strFileName;
};

// The data source KestrelRadio as a user gets it: registered and laid out by
// the set-up step (scripts/setup.d/odbc.sh) in an odbc.ini and a data folder
// under the given folder, a SQLite file reached through unixODBC. From
// construction on this process's ODBCINI names it, so that the programs
// started from here, and the at jobs submitted from here (at copies the
// environment), reach the same one. One per process; main thread only.
// Throws std::runtime_error when the set-up step or the data source fails.
class CScriptedDataSource {
public:
    explicit CScriptedDataSource(const std::filesystem::path& folder);
    ~CScriptedDataSource();

    CScriptedDataSource(const CScriptedDataSource&) = delete;
    CScriptedDataSource& operator=(const CScriptedDataSource&) = delete;

    const std::string& OdbcIni() const { return m_strOdbcIni; }
    const std::string& DataHome() const { return m_strDataHome; }
    // The data source's own id, which its work items carry.
    const std::string& Id() const { return m_strId; }
    CDbDriver& Driver() { return m_driver; }

    // The next task gets nFirst as its id: far from the small ids of a
    // user's own tasks, whose jobs carry names of the same form.
    void StartTaskIdsAt(int nFirst);
    // Stored as the new task window stores it; returns the task's id.
    int AddTask(std::time_t begin, std::time_t end, std::uint32_t nChannelWord,
                const std::string& strMemo = {});
    std::vector<SFileRow> FileRows();
    std::optional<STaskOutcome> Outcome(int nTask);

private:
    CScopedEnvironment m_environment;
    std::string m_strOdbcIni;
    std::string m_strDataHome;
    COdbcDriver m_driver;
    std::string m_strId;
    std::unique_ptr<CDbConnection> m_pConnection;
    std::unique_ptr<CTaskOutcomes> m_pOutcomes;
};

// "%H:%M:%S" of a FileList row in seconds; -1 when it is not that.
std::int64_t DurationSeconds(const std::string& strDuration);
