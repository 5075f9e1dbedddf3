#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Status.h"
#include "platform/names/KestrelNames.h"
#include "schedule/TableConnection.h"
#include "schedule/TaskOutcome.h"

class CDbDriver;

// The outcomes of scheduled tasks, one row per task in the table
// TaskOutcome of the data source that holds the tasks (made when it is
// missing; Task and FileList keep their own layouts), the latest; and every
// occurrence's, in TaskOutcomeLog. They outlive the program, so a task that
// ran while nobody watched can be looked at later.
//
// UI thread only. Every failure of the data source is traced; a write's
// status says why it failed. None throws.
class CTaskOutcomes {
public:
    static constexpr const char* kTable = "TaskOutcome";
    static constexpr const char* kLogTable = "TaskOutcomeLog";

    explicit CTaskOutcomes(CDbDriver& driver,
                           std::string strConnect = KestrelNames::kConnectString);
    ~CTaskOutcomes();

    CTaskOutcomes(const CTaskOutcomes&) = delete;
    CTaskOutcomes& operator=(const CTaskOutcomes&) = delete;

    // Connects and makes the table when it is missing; fails when the data
    // source cannot be reached.
    CStatus Open();
    bool IsOpen() const { return m_table.IsOpen(); }

    // Replaces what was kept for the task, and adds it to the task's log.
    CStatus Record(const STaskOutcome& outcome);
    // The task's outcomes, the latest first, at most nMax.
    std::vector<STaskOutcome> History(int nTask, size_t nMax);
    std::optional<STaskOutcome> Find(int nTask);
    // Every kept outcome by task.
    std::map<int, STaskOutcome> All();
    CStatus Forget(int nTask);

    static std::string CreateStatement();
    static std::string CreateLogStatement();

private:
    CTableConnection m_table;
};
