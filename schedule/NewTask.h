#pragma once

#include <cstdint>
#include <ctime>
#include <string>

class CRadioCore;
class CScheduleBridge;

// One new scheduled recording, checked and stored with no window: the new
// task window and the remote control both add tasks through it, so that the
// same checks refuse the same entries in the same order. The first check
// that fails wins and nothing is stored; otherwise the Task row is added and
// its work item registered, and a row whose work item failed is deleted again.
//
// UI thread only. The core and the bridge must outlive it.
class CNewTask {
public:
    enum : int { BAND_AM = 0, BAND_FM = 1 };

    struct SEntry {
        std::time_t begin = 0;  // whole minutes
        std::time_t end = 0;
        int nBand = -1;
        std::string strFrequency;  // "100.90" or "1008"
        std::string strMemo;
        bool bMute = false;
    };

    enum class EResult {
        Stored,   // the row and its work item are made
        Refused,  // nothing stored; ErrorText() says why
        RowKept,  // the work item failed and the row could not be deleted
    };

    CNewTask(CRadioCore& core, CScheduleBridge& bridge);

    EResult Add(const SEntry& entry);
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
    bool StoreTask(const SEntry& entry, std::uint32_t nWord);
    EResult RegisterWorkItem(std::time_t begin);
    bool ForgetStoredTask();

    CRadioCore& m_core;
    CScheduleBridge& m_bridge;
    int m_nStoredTask = 0;
    std::string m_strError;
    std::string m_strErrorKey;
};
