#include "schedule/TaskSet.h"
#include "platform/names/KestrelNames.h"

#include <algorithm>
#include <cstdlib>

CTaskSet::CTaskSet(CDbDriver& driver) : CRecordset(driver) {}

std::string CTaskSet::GetDefaultConnect() const {
    return KestrelNames::kConnectString;
}

std::string CTaskSet::GetDefaultSQL() const {
    return "[Task]";
}

void CTaskSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Key("[ID]", m_ID);
    fx.Date("[BeginTime]", m_BeginTime);
    fx.Date("[EndTime]", m_EndTime);
    fx.Text("[Channel]", m_Channel);
    fx.Text("[ChannelName]", m_ChannelName);
    fx.Text("[Memo]", m_Memo);
}

bool CTaskSet::IsTimeFree(std::time_t begin, std::time_t end) {
    m_strFilter.clear();
    m_strSort = "BeginTime";
    // Two spans collide when each begins no later than the other ends; this
    // also refuses a new span that encloses a stored one. The data source
    // counts them, so the test does not walk the table.
    const std::time_t first = std::min(begin, end);
    const std::time_t last = std::max(begin, end);
    const auto nCollisions =
        CountWhere("BeginTime <= ? AND EndTime >= ?", {SDbTime{last}, SDbTime{first}});
    return !nCollisions || *nCollisions == 0;
}

bool CTaskSet::IsTimeFree(std::time_t begin, std::time_t end, int nExceptId) {
    if (nExceptId == 0) {
        return IsTimeFree(begin, end);
    }
    m_strFilter.clear();
    m_strSort = "BeginTime";
    const auto nCollisions = CountWhere(
        "BeginTime <= ? AND EndTime >= ? AND ID <> ?",
        {SDbTime{std::max(begin, end)}, SDbTime{std::min(begin, end)}, std::int64_t{nExceptId}});
    return !nCollisions || *nCollisions == 0;
}

bool CTaskSet::GetEndTime(int nID, std::time_t& end) {
    m_strFilter = "ID = " + std::to_string(nID);
    if (!Requery() || IsEOF()) {
        return false;
    }
    end = m_EndTime;
    return true;
}

void CTaskSet::DeleteById(int nID) {
    m_strFilter = "ID = " + std::to_string(nID);
    if (Requery() && !IsEOF()) {
        Delete();
    }
}

std::string CTaskSet::ChannelText(std::uint32_t nWord) {
    return std::to_string(static_cast<std::int32_t>(nWord));
}

std::uint32_t CTaskSet::ChannelWord(const std::string& strText) {
    return static_cast<std::uint32_t>(std::strtoll(strText.c_str(), nullptr, 10));
}
