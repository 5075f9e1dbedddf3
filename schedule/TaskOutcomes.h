#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/Status.h"
#include "platform/names/KestrelNames.h"
#include "schedule/TaskOutcome.h"

class CDbConnection;
class CDbDriver;

// The outcomes of scheduled tasks, one row per task in the table
// TaskOutcome of the data source that holds the tasks (made when it is
// missing; Task and FileList keep their own layouts). They outlive the
// program, so a task that ran while nobody watched can be looked at later.
//
// UI thread only. Every failure of the data source is traced; a write's
// status says why it failed. None throws.
class CTaskOutcomes {
public:
    static constexpr const char* kTable = "TaskOutcome";

    explicit CTaskOutcomes(CDbDriver& driver,
                           std::string strConnect = KestrelNames::kConnectString);
    ~CTaskOutcomes();

    CTaskOutcomes(const CTaskOutcomes&) = delete;
    CTaskOutcomes& operator=(const CTaskOutcomes&) = delete;

    // Connects and makes the table when it is missing; fails when the data
    // source cannot be reached.
    CStatus Open();
    bool IsOpen() const { return m_pConnection != nullptr; }

    // Replaces what was kept for the task.
    CStatus Record(const STaskOutcome& outcome);
    std::optional<STaskOutcome> Find(int nTask);
    // Every kept outcome by task.
    std::map<int, STaskOutcome> All();
    CStatus Forget(int nTask);

    static std::string CreateStatement();

private:
    static CStatus Fail(const std::string& strWhat, const std::string& strError);

    CDbDriver& m_driver;
    std::string m_strConnect;
    std::unique_ptr<CDbConnection> m_pConnection;
};
