#include "schedule/NewTask.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

#include "platform/clock/Clock.h"
#include "platform/db/DBException.h"
#include "platform/names/KestrelNames.h"
#include "platform/text/Utf8Text.h"
#include "presets/PresetStore.h"
#include "schedule/DataSourceId.h"
#include "schedule/ScheduleBridge.h"
#include "schedule/TaskOutcomes.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSet.h"

CNewTask::CNewTask(CTaskSet& tasks, CScheduleBridge& bridge, SContext context)
    : m_tasks(tasks), m_bridge(bridge), m_context(std::move(context)) {}

CNewTask::EResult CNewTask::Refuse(const std::string& strKey) {
    m_strErrorKey = strKey;
    m_strError = m_context.message(strKey);
    return EResult::Refused;
}

CNewTask::EResult CNewTask::Fail(const std::string& strText) {
    m_strErrorKey.clear();
    m_strError = strText;
    return EResult::Refused;
}

bool CNewTask::BuildChannelWord(const SEntry& entry, std::uint32_t& nWord) const {
    if (entry.nBand != BAND_AM && entry.nBand != BAND_FM) {
        return false;
    }
    const CTuningSteps steps = m_context.steps(entry.nBand);
    const std::optional<std::uint32_t> value =
        CPresetStore::BuildValue(entry.nBand, entry.strFrequency, steps.Lower(), steps.Upper());
    if (!value) {
        return false;
    }
    nWord = CChannelWord(*value).WithMute(entry.bMute).Value();
    return true;
}

CNewTask::EResult CNewTask::Replace(int nOld, const SEntry& entry) {
    m_nReplaced = nOld;
    const EResult eResult = Add(entry);
    m_nReplaced = 0;
    if (eResult == EResult::Stored) {
        RemoveReplaced(nOld);
    }
    return eResult;
}

// Its work item first: a row left without one records nothing, a work item
// left without its row would start a recording of nothing.
void CNewTask::RemoveReplaced(int nOld) {
    m_bridge.DeleteWorkItem(KestrelNames::WorkItemName(nOld));
    try {
        m_tasks.DeleteById(nOld);
    } catch (const CDBException& error) {
        std::fprintf(stderr, "Kestrel: task %d cannot be deleted: %s\n", nOld, error.what());
    }
    CTaskRules(m_context.database).Forget(nOld);
    CTaskOutcomes(m_context.database).Forget(nOld);
}

CNewTask::EResult CNewTask::Add(const SEntry& entry) {
    m_nStoredTask = 0;
    m_nConflict = 0;
    const std::time_t now = m_context.clock.Now();
    if (entry.end < now || entry.begin <= now) {
        return Refuse("MESSAGE_8");
    }
    if (entry.begin >= entry.end) {
        return Refuse("MESSAGE_9");
    }
    STaskRule rule = entry.rule;
    rule.first = entry.begin;
    rule.nLength = entry.end - entry.begin;
    rule.nPadBefore = std::max(rule.nPadBefore, 0);
    rule.nPadAfter = std::max(rule.nPadAfter, 0);
    const CRecurrence recurrence(rule);
    const std::optional<CRecurrence::SSpan> first = recurrence.At(0);
    if (!first) {
        return Refuse(kNoOccurrenceKey);
    }
    if (first->start <= now) {
        return Refuse("MESSAGE_8");
    }
    std::vector<CRecurrence::SSpan> spans = recurrence.Within(now, now + kConflictHorizon);
    if (spans.empty()) {
        spans.push_back(*first);
    }
    CTaskSet& tasks = m_tasks;
    if (!tasks.IsTimeFree(first->start, first->finish, m_nReplaced)) {
        return RefuseConflict(TaskAt(first->start, first->finish));
    }
    if (const int nOther = FindConflict(spans); nOther != 0) {
        return RefuseConflict(nOther);
    }
    if (!tasks.CanAppend()) {
        return Refuse("MESSAGE_11");
    }
    std::uint32_t nWord = 0;
    if (!BuildChannelWord(entry, nWord)) {
        return Refuse("MESSAGE_12");
    }
    if (!IsValidMemo(entry.strMemo)) {
        return Refuse(kBadMemoKey);
    }
    if (!PrepareRegistration() || !StoreTask(entry, *first, nWord)) {
        return EResult::Refused;
    }
    if (!StoreRule(rule)) {
        const std::string strWhy = m_strError;
        ForgetStoredTask();
        return Fail(strWhy);
    }
    if (!rule.bEnabled) {
        return EResult::Stored;  // kept, and nothing registered until enabled
    }
    return RegisterWorkItem(first->start);
}

// Ends included, as the Task table's own test: one occurrence beginning when
// another ends collides with it.
int CNewTask::FindConflict(const std::vector<CRecurrence::SSpan>& spans) {
    if (spans.empty()) {
        return 0;
    }
    const std::time_t from = spans.front().start;
    const std::time_t to = spans.back().finish;
    for (const auto& [nTask, other] : CTaskRules(m_context.database).All()) {
        if (nTask == m_nReplaced || !other.Repeats() || !other.bEnabled) {
            continue;  // its Task row stands for it
        }
        for (const CRecurrence::SSpan& theirs : CRecurrence(other).Within(from, to)) {
            for (const CRecurrence::SSpan& ours : spans) {
                if (ours.start <= theirs.finish && theirs.start <= ours.finish) {
                    return nTask;
                }
            }
        }
    }
    return 0;
}

int CNewTask::TaskAt(std::time_t start, std::time_t finish) {
    m_tasks.m_strFilter.clear();
    m_tasks.m_strSort = "BeginTime";
    if (!m_tasks.Requery()) {
        return 0;
    }
    for (; !m_tasks.IsEOF(); m_tasks.MoveNext()) {
        if (m_tasks.m_ID != m_nReplaced && m_tasks.m_BeginTime <= finish &&
            start <= m_tasks.m_EndTime) {
            return m_tasks.m_ID;
        }
    }
    return 0;
}

// The message names the task in the way, so that the user can find it.
CNewTask::EResult CNewTask::RefuseConflict(int nTask) {
    m_nConflict = nTask;
    Refuse("MESSAGE_10");
    if (nTask == 0) {
        return EResult::Refused;
    }
    std::time_t end = 0;
    if (!m_tasks.GetEndTime(nTask, end)) {
        return EResult::Refused;
    }
    std::tm local{};
    const std::time_t begin = m_tasks.m_BeginTime;
    localtime_r(&begin, &local);
    char when[32] = {};
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
    const CChannelWord word(CTaskSet::ChannelWord(m_tasks.m_Channel));
    std::string strTask = "#" + std::to_string(nTask) + " " + when + " " +
                          std::string(CUtf8Text::Trim(
                              CPresetStore::ChannelText(word.Band(), word.TaskFrequency(), "")));
    if (!m_tasks.m_Memo.empty()) {
        strTask += " (" + m_tasks.m_Memo + ")";
    }
    m_strError += "\n" + strTask;
    return EResult::Refused;
}

// A task that records once, as it was entered, needs no rule.
bool CNewTask::StoreRule(STaskRule rule) {
    if (!rule.Repeats() && rule.nPadBefore == 0 && rule.nPadAfter == 0 && rule.bEnabled) {
        return true;
    }
    rule.nTask = m_nStoredTask;
    if (const CStatus status = CTaskRules(m_context.database).Record(rule); !status) {
        m_strErrorKey.clear();
        m_strError = status.Message();
        return false;
    }
    return true;
}

// A longer memo would be cut or refused by the database, a byte string that
// is not UTF-8 come back as other text, and a line break spoil the task list
// and the work item's script.
bool CNewTask::IsValidMemo(const std::string& strMemo) {
    return CUtf8Text::IsValid(strMemo) &&
           CUtf8Text::CharacterCount(strMemo) <= kMaxMemoCharacters &&
           !CUtf8Text::HasControlCharacter(strMemo);
}

// Before anything is stored: a task whose work item cannot be made would
// never record.
bool CNewTask::PrepareRegistration() {
    try {
        m_bridge.m_strOwner = CDataSourceId::Obtain(m_context.database);
    } catch (const CDBException& error) {
        Fail(error.ErrorText());
        return false;
    }
    if (const CStatus status = m_bridge.PrepareScheduler(); !status) {
        Refuse(status.Message());
        return false;
    }
    return true;
}

// The new row's identifier is the one the insert gave it: the last row of a
// re-query sorted by begin is another task whenever this one is not the
// latest.
bool CNewTask::StoreTask(const SEntry& entry, const CRecurrence::SSpan& first,
                         std::uint32_t nWord) {
    CTaskSet& tasks = m_tasks;
    try {
        tasks.AddNew();
        tasks.m_BeginTime = first.start;
        tasks.m_EndTime = first.finish;
        tasks.m_Channel = CTaskSet::ChannelText(nWord);
        tasks.m_Memo = entry.strMemo;
        tasks.Update();
    } catch (const CDBException& error) {
        Fail(error.ErrorText());
        return false;
    }
    m_nStoredTask = tasks.m_ID;
    tasks.Requery();
    return true;
}

// The application is this program's own file: the current folder need not
// be where it lives. A task without its work item would never record, so a
// failed registration takes the row away again; only a row that cannot be
// deleted is kept, for the task list to show.
CNewTask::EResult CNewTask::RegisterWorkItem(std::time_t begin) {
    m_bridge.CreateTaskWorkItem(m_nStoredTask, begin, m_context.strStartFolder);
    if (m_bridge.LastRegistration()) {
        return EResult::Stored;
    }
    if (ForgetStoredTask()) {
        return Refuse(m_bridge.FailureKey());
    }
    m_strErrorKey = kTaskKeptKey;
    m_strError = m_context.message(kTaskKeptKey);
    return EResult::RowKept;
}

// DeleteById leaves the filter on the task: a re-query that succeeds and
// finds nothing shows it gone.
bool CNewTask::ForgetStoredTask() {
    CTaskSet& tasks = m_tasks;
    try {
        tasks.DeleteById(m_nStoredTask);
    } catch (const CDBException& error) {
        std::fprintf(stderr, "Kestrel: task %d cannot be deleted: %s\n", m_nStoredTask,
                     error.what());
        return false;
    }
    if (!tasks.Requery() || !tasks.IsEOF()) {
        return false;
    }
    m_nStoredTask = 0;
    return true;
}
