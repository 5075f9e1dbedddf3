#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/db/Recordset.h"

// The catalogue of finished recordings: one FileList row per recording,
// added by the core when a recording stops and listed, played and deleted by
// the player window. The data source and the table must exist; the program
// never creates them.
class CFileListSet : public CRecordset {
public:
    explicit CFileListSet(CDbDriver& driver);

    std::string GetDefaultConnect() const override;
    std::string GetDefaultSQL() const override;
    void DoFieldExchange(CFieldExchange& fx) override;

    // The file of row nID, empty when there is no such row. The filter stays
    // "ID = nID".
    std::string GetFileName(int nID);
    // Deletes row nID, if there is one. The filter stays "ID = nID".
    // Database errors throw CDBException.
    void DeleteById(int nID);

    // The texts a new row is given: the station ("FM 98.10MHz", "AM 1629KHz";
    // nBand 1 is FM, with the frequency in 10 kHz units), the local start time
    // ("%y-%m-%d %H:%M:%S", which sorts by time for 2000 to 2099) and the
    // length ("%H:%M:%S", hours within the day).
    static std::string FormatChannel(int nBand, unsigned nFrequency);
    static std::string FormatBeginTime(std::time_t start);
    static std::string FormatDuration(std::int64_t nSeconds);

    std::int32_t m_ID = 0;
    std::string m_Channel;
    std::string m_ChannelName;
    std::string m_BeginTime;
    std::string m_Duration;
    std::string m_Memo;
    std::string m_FileName;
};
