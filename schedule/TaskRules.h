#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/Status.h"
#include "platform/names/KestrelNames.h"
#include "schedule/TableConnection.h"
#include "schedule/TaskRule.h"

class CDbDriver;

// The rules of repeating and padded tasks, one row per task in the table
// TaskRule of the data source that holds the tasks (made when it is
// missing; Task keeps its own layout). A task without a row is recorded once,
// as it stands. It also moves a task's Task row on to its next occurrence.
//
// UI thread only. Every failure of the data source is traced; a write's
// status says why it failed. None throws.
class CTaskRules {
public:
    static constexpr const char* kTable = "TaskRule";

    explicit CTaskRules(CDbDriver& driver, std::string strConnect = KestrelNames::kConnectString);
    ~CTaskRules();

    CTaskRules(const CTaskRules&) = delete;
    CTaskRules& operator=(const CTaskRules&) = delete;

    CStatus Open();
    CStatus Record(const STaskRule& rule);
    std::optional<STaskRule> Find(int nTask);
    std::map<int, STaskRule> All();
    CStatus Forget(int nTask);
    // Sets the Task row's begin and end: the occurrence it stands for now.
    CStatus MoveTask(int nTask, std::time_t begin, std::time_t end);

    static std::string CreateStatement();

private:
    CTableConnection m_table;
};
