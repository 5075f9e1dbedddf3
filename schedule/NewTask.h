#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "schedule/Recurrence.h"
#include "schedule/TaskRule.h"
#include "tuner/TuningSteps.h"

class CClock;
class CDbDriver;
class CScheduleBridge;
class CTaskSet;

// One new scheduled recording, checked and stored with no window: the new
// task window and the remote control both add tasks through it, so that the
// same checks refuse the same entries in the same order. The first check
// that fails wins and nothing is stored; otherwise the Task row is added and
// its work item registered, and a row whose work item failed is deleted again.
//
// UI thread only. The table, the bridge and what the context names must
// outlive it.
class CNewTask {
public:
    enum : int { BAND_AM = 0, BAND_FM = 1 };

    // What the checks and the registration need of the radio.
    struct SContext {
        CClock& clock;
        CDbDriver& database;  // the data source's id, which the work item carries
        // The band plan's arithmetic of a band: its limits.
        std::function<CTuningSteps(int nBand)> steps;
        // A message text of the language file, in the current language.
        std::function<std::string(const std::string& strKey)> message;
        // Where the work item starts the program.
        std::string strStartFolder;
    };

    struct SEntry {
        std::time_t begin = 0;  // whole minutes
        std::time_t end = 0;
        int nBand = -1;
        std::string strFrequency;  // "100.90" or "1008"
        std::string strMemo;
        bool bMute = false;
        // How it repeats and its padding; begin and end are its first
        // occurrence's programme (the first matching weekday on or after
        // begin's date, for a weekday rule). nTask, first and nLength are
        // taken from the row stored and from begin and end.
        STaskRule rule;
    };
    // How far ahead a repeating task's occurrences are checked for conflicts.
    static constexpr std::time_t kConflictHorizon = 60 * 24 * 3600;
    static constexpr const char* kNoOccurrenceKey = "MESSAGE_74";

    enum class EResult {
        Stored,   // the row and its work item are made
        Refused,  // nothing stored; ErrorText() says why
        RowKept,  // the work item failed and the row could not be deleted
    };

    CNewTask(CTaskSet& tasks, CScheduleBridge& bridge, SContext context);

    EResult Add(const SEntry& entry);
    // Stores the entry as task nOld's successor and, once it is stored and
    // registered, removes task nOld (row, rule, outcome, work item); a
    // refusal leaves task nOld as it was. Conflicts with nOld do not count.
    EResult Replace(int nOld, const SEntry& entry);
    // The stored task a refused entry collides with; 0 for other refusals.
    int ConflictingTask() const { return m_nConflict; }
    // The identifier of the row stored; 0 when none is kept.
    int StoredTask() const { return m_nStoredTask; }
    // The message text of a refusal (a language message, or the database's
    // own text) and its message key (empty for a database error).
    const std::string& ErrorText() const { return m_strError; }
    const std::string& ErrorKey() const { return m_strErrorKey; }

    // The channel word of a band and frequency text; false when the
    // frequency lies outside the band plan of the tuner.
    bool BuildChannelWord(const SEntry& entry, std::uint32_t& nWord) const;
    // The message key of a row kept without its work item.
    static constexpr const char* kTaskKeptKey = "MESSAGE_27";
    // The memo's limits: the Memo column's width, one line of text.
    static constexpr size_t kMaxMemoCharacters = 255;
    static constexpr const char* kBadMemoKey = "MESSAGE_30";
    static bool IsValidMemo(const std::string& strMemo);

private:
    EResult Refuse(const std::string& strKey);
    EResult Fail(const std::string& strText);
    bool PrepareRegistration();
    bool StoreTask(const SEntry& entry, const CRecurrence::SSpan& first, std::uint32_t nWord);
    bool StoreRule(STaskRule rule);
    // The stored task whose recording (any occurrence within the horizon)
    // shares a second with one of these; 0 when none does.
    int FindConflict(const std::vector<CRecurrence::SSpan>& spans);
    // The first stored task that shares a second with this span, 0 for none.
    int TaskAt(std::time_t start, std::time_t finish);
    EResult RefuseConflict(int nTask);
    void RemoveReplaced(int nOld);
    EResult RegisterWorkItem(std::time_t begin);
    bool ForgetStoredTask();

    CTaskSet& m_tasks;
    CScheduleBridge& m_bridge;
    SContext m_context;
    int m_nStoredTask = 0;
    int m_nReplaced = 0;  // left out of the conflict checks
    int m_nConflict = 0;
    std::string m_strError;
    std::string m_strErrorKey;
};
