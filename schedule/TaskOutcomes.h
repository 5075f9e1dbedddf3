#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/names/KestrelNames.h"
#include "schedule/TaskOutcome.h"

class CDbConnection;
class CDbDriver;

// The outcomes of scheduled tasks, one row per task in the table
// TaskOutcome of the data source that holds the tasks (made when it is
// missing; Task and FileList keep their own layouts). They outlive the
// program, so a task that ran while nobody watched can be looked at later.
//
// UI thread only. Every failure of the data source is reported by the return
// value and traced; none throws.
class CTaskOutcomes {
public:
    static constexpr const char* kTable = "TaskOutcome";

    explicit CTaskOutcomes(CDbDriver& driver,
                           std::string strConnect = KestrelNames::kConnectString);
    ~CTaskOutcomes();

    CTaskOutcomes(const CTaskOutcomes&) = delete;
    CTaskOutcomes& operator=(const CTaskOutcomes&) = delete;

    // Connects and makes the table when it is missing. False when the data
    // source cannot be reached; LastError() says why.
    bool Open();
    bool IsOpen() const { return m_pConnection != nullptr; }

    // Replaces what was kept for the task.
    bool Record(const STaskOutcome& outcome);
    std::optional<STaskOutcome> Find(int nTask);
    // Every kept outcome by task.
    std::map<int, STaskOutcome> All();
    bool Forget(int nTask);

    const std::string& LastError() const { return m_strLastError; }

    static std::string CreateStatement();

private:
    bool Fail(const std::string& strWhat, const std::string& strError);

    CDbDriver& m_driver;
    std::string m_strConnect;
    std::unique_ptr<CDbConnection> m_pConnection;
    std::string m_strLastError;
};
