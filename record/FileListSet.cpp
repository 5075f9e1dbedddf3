#include "record/FileListSet.h"
#include "platform/names/KestrelNames.h"

#include <cstdio>

CFileListSet::CFileListSet(CDbDriver& driver) : CRecordset(driver) {}

std::string CFileListSet::GetDefaultConnect() const {
    return KestrelNames::kConnectString;
}

std::string CFileListSet::GetDefaultSQL() const {
    return "[FileList]";
}

void CFileListSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Key("[ID]", m_ID);
    fx.Text("[Channel]", m_Channel);
    fx.Text("[ChannelName]", m_ChannelName);
    fx.Text("[BeginTime]", m_BeginTime);
    fx.Text("[Duration]", m_Duration);
    fx.Text("[Memo]", m_Memo);
    fx.Text("[FileName]", m_FileName);
}

std::string CFileListSet::GetFileName(int nID) {
    m_strFilter = "ID = " + std::to_string(nID);
    if (!Requery() || IsEOF()) {
        return {};
    }
    return m_FileName;
}

void CFileListSet::DeleteById(int nID) {
    m_strFilter = "ID = " + std::to_string(nID);
    if (Requery() && !IsEOF()) {
        Delete();
    }
}

std::string CFileListSet::FormatChannel(int nBand, unsigned nFrequency) {
    char sz[32];
    if (nBand == 1) {
        std::snprintf(sz, sizeof sz, "FM %.02fMHz", nFrequency * 0.01);
    } else {
        std::snprintf(sz, sizeof sz, "AM %dKHz", static_cast<int>(nFrequency));
    }
    return sz;
}

std::string CFileListSet::FormatBeginTime(std::time_t start) {
    std::tm tm{};
    localtime_r(&start, &tm);
    char sz[32];
    std::strftime(sz, sizeof sz, "%y-%m-%d %H:%M:%S", &tm);
    return sz;
}

std::string CFileListSet::FormatDuration(std::int64_t nSeconds) {
    // A clock set back during a recording must not give a negative length.
    const std::int64_t n = nSeconds < 0 ? 0 : nSeconds;
    char sz[16];
    std::snprintf(sz, sizeof sz, "%02d:%02d:%02d", static_cast<int>(n / 3600 % 24),
                  static_cast<int>(n / 60 % 60), static_cast<int>(n % 60));
    return sz;
}
