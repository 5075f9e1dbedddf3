#include "presets/PresetBanner.h"

#include <algorithm>
#include <cstddef>

const char* const CPresetBanner::kNoPreset =
    "KESTREL RADIO      KESTREL RADIO      KESTREL RADIO      KESTREL RADIO      KESTREL RADIO"
    "      ";
const char* const CPresetBanner::kStart =
    "KESTREL RADIO    KESTREL RADIO    KESTREL RADIO    KESTREL RADIO    KESTREL RADIO";

namespace {

constexpr const char* kBlanks = "      ";
constexpr size_t kMinimumLength = 50;
constexpr int kPlainPeriodMs = 200;
constexpr int kWidePeriodMs = 400;

size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    return lead >= 0xC0 ? 2 : 1;
}

size_t CountCharacters(const std::string& strText) {
    return static_cast<size_t>(std::count_if(strText.begin(), strText.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

void CPresetBanner::ShowPreset(const std::optional<PresetEntry>& entry) {
    m_strText = !entry || entry->strTitle.empty() ? kNoPreset : TitleText(entry->strTitle);
    m_strStation.clear();
}

bool CPresetBanner::ShowStation(const std::string& strStation) {
    if (strStation == m_strStation) {
        return false;
    }
    m_strStation = strStation;
    m_strText = strStation.empty() ? kNoPreset : TitleText(strStation);
    return true;
}

std::string CPresetBanner::TitleText(const std::string& strTitle) {
    std::string strBanner = strTitle;
    do {
        strBanner += kBlanks + strTitle;
    } while (CountCharacters(strBanner) < kMinimumLength);
    return strBanner + kBlanks;
}

// A lead byte above 100 moved two bytes at a time in the banner's old
// two-byte code page. In UTF-8 a character is moved whole, so that the text
// never shows a broken sequence; plain letters still move two at a time.
int CPresetBanner::Scroll() {
    if (m_strText.empty()) {
        return kPlainPeriodMs;
    }
    const auto lead = static_cast<unsigned char>(m_strText[0]);
    size_t n = 1;
    if (lead > 100) {
        n = Utf8Length(lead);
        if (n == 1 && m_strText.size() > 1 && static_cast<unsigned char>(m_strText[1]) < 0x80) {
            n = 2;
        }
    }
    n = std::min(n, m_strText.size());
    std::rotate(m_strText.begin(), m_strText.begin() + static_cast<std::ptrdiff_t>(n),
                m_strText.end());
    return lead > 100 ? kWidePeriodMs : kPlainPeriodMs;
}
