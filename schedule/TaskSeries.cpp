#include "schedule/TaskSeries.h"

#include <algorithm>
#include <optional>

#include "platform/db/DBException.h"
#include "platform/names/KestrelNames.h"
#include "platform/trace/Trace.h"
#include "schedule/DataSourceId.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleBridge.h"
#include "schedule/TaskRules.h"

namespace {
constexpr const char* kTag = "series";
}

CTaskSeries::CTaskSeries(CTaskRules& rules, CScheduleBridge& bridge, CDbDriver& database,
                         std::string strStartFolder)
    : m_rules(rules),
      m_bridge(bridge),
      m_database(database),
      m_strStartFolder(std::move(strStartFolder)) {}

CTaskSeries::EAdvance CTaskSeries::Advance(int nTask, std::time_t tCurrent, std::time_t now) {
    const std::optional<STaskRule> rule = m_rules.Find(nTask);
    if (!rule || !rule->Repeats() || !rule->bEnabled) {
        return EAdvance::Single;
    }
    const std::optional<CRecurrence::SSpan> next = CRecurrence(*rule).Next(std::max(tCurrent, now));
    if (!next) {
        KestrelTrace(kTag, "task %d has no occurrence after this one", nTask);
        return EAdvance::Ended;
    }
    if (!m_rules.MoveTask(nTask, next->start, next->finish)) {
        return EAdvance::Failed;
    }
    return Register(nTask, next->start) ? EAdvance::Moved : EAdvance::Failed;
}

bool CTaskSeries::SetEnabled(int nTask, bool bEnabled, std::time_t rowStart, std::time_t rowFinish,
                             std::time_t now) {
    STaskRule rule = m_rules.Find(nTask).value_or(STaskRule{});
    if (rule.nTask == 0) {  // a plain task: its row is all there is
        rule.nTask = nTask;
        rule.first = rowStart;
        rule.nLength = rowFinish - rowStart;
    }
    rule.bEnabled = bEnabled;
    if (!m_rules.Record(rule)) {
        return false;
    }
    if (!bEnabled) {
        try {
            m_bridge.m_strOwner = CDataSourceId::Obtain(m_database);
        } catch (const CDBException& error) {
            KestrelTrace(kTag, "task %d: %s", nTask, error.ErrorText().c_str());
        }
        m_bridge.DeleteWorkItem(KestrelNames::WorkItemName(nTask));
        return true;
    }
    if (rowStart > now) {
        return Register(nTask, rowStart);
    }
    const std::optional<CRecurrence::SSpan> next =
        rule.Repeats() ? CRecurrence(rule).Next(now) : std::nullopt;
    if (!next || !m_rules.MoveTask(nTask, next->start, next->finish)) {
        return false;
    }
    return Register(nTask, next->start);
}

// As a new task's: the program's own file, the task's number, the data
// source's id as the owner.
bool CTaskSeries::Register(int nTask, std::time_t tStart) {
    try {
        m_bridge.m_strOwner = CDataSourceId::Obtain(m_database);
    } catch (const CDBException& error) {
        KestrelTrace(kTag, "task %d: %s", nTask, error.ErrorText().c_str());
        return false;
    }
    m_bridge.CreateTaskWorkItem(nTask, tStart, m_strStartFolder);
    if (!m_bridge.LastRegistration()) {
        KestrelTrace(kTag, "task %d: the next occurrence's work item was refused (%s)", nTask,
                     m_bridge.FailureKey().c_str());
        return false;
    }
    return true;
}
