#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/db/Recordset.h"

// The scheduled recordings: one Task row each, with its begin and end (local
// time), the channel word and a memo. The conflict test, the end time by
// identifier and the delete by identifier live here; adding and listing use
// the recordset's own operations.
class CTaskSet : public CRecordset {
public:
    explicit CTaskSet(CDbDriver& driver);

    std::string GetDefaultConnect() const override;
    std::string GetDefaultSQL() const override;
    void DoFieldExchange(CFieldExchange& fx) override;

    // True when no stored task shares a second with begin..end, ends
    // included: a task that begins when another ends collides with it. Also
    // true when the table cannot be read. Leaves the filter empty and the sort
    // "BeginTime".
    bool IsTimeFree(std::time_t begin, std::time_t end);
    // The same, leaving task nExceptId out: the one an edit replaces.
    bool IsTimeFree(std::time_t begin, std::time_t end, int nExceptId);
    // The end of task nID; on success that row is current, so m_Channel and
    // m_Memo are its own. The filter stays "ID = nID".
    bool GetEndTime(int nID, std::time_t& end);
    // Deletes task nID, if there is one. The filter stays "ID = nID".
    // Database errors throw CDBException.
    void DeleteById(int nID);

    // The channel word as the Channel column holds it: "%d" of the 32-bit
    // word, so FM words (bit 31) read as negative numbers.
    static std::string ChannelText(std::uint32_t nWord);
    // Text that is no number gives 0.
    static std::uint32_t ChannelWord(const std::string& strText);

    std::int32_t m_ID = 0;
    std::time_t m_BeginTime = 0;
    std::time_t m_EndTime = 0;
    std::string m_Channel;
    std::string m_ChannelName;
    std::string m_Memo;
};
