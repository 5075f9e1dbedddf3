#include "record/RecordName.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "platform/text/Utf8Text.h"

namespace {

constexpr std::string_view kReserved = "/\\:*?\"<>|";
constexpr int kMaxNumber = 99;

std::string LocalTime(std::time_t t, const char* pFormat) {
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    const size_t n = std::strftime(text, sizeof text, pFormat, &local);
    return std::string(text, n);
}

// CON, NUL, COM1 ... are devices on Windows' file systems, with any extension.
bool IsDeviceName(const std::string& strName) {
    static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
    std::string strUpper = strName.substr(0, strName.find('.'));
    std::transform(strUpper.begin(), strUpper.end(), strUpper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (std::find(kDevices.begin(), kDevices.end(), strUpper) != kDevices.end()) {
        return true;
    }
    return strUpper.size() == 4 &&
           (strUpper.rfind("COM", 0) == 0 || strUpper.rfind("LPT", 0) == 0) && strUpper[3] >= '1' &&
           strUpper[3] <= '9';
}

// Cut to whole characters within nBytes.
std::string CutBytes(const std::string& strText, size_t nBytes) {
    if (strText.size() <= nBytes) {
        return strText;
    }
    size_t nLength = nBytes;
    while (nLength > 0 && (static_cast<unsigned char>(strText[nLength]) & 0xC0) == 0x80) {
        --nLength;
    }
    return strText.substr(0, nLength);
}

}  // namespace

std::string CRecordName::Safe(const std::string& strText) {
    if (!CUtf8Text::IsValid(strText)) {
        return {};
    }
    std::string strSafe;
    bool bBlank = false;
    for (char c : strText) {
        const auto u = static_cast<unsigned char>(c);
        const bool bControl = u < 0x20 || u == 0x7F;
        if (bControl || c == ' ') {
            bBlank = !strSafe.empty();
            continue;
        }
        if (bBlank) {
            strSafe += ' ';
            bBlank = false;
        }
        strSafe += kReserved.find(c) != std::string_view::npos ? '_' : c;
    }
    // C1 controls are two bytes in UTF-8: U+0080 to U+009F.
    for (size_t n = 0; n + 1 < strSafe.size(); ++n) {
        if (static_cast<unsigned char>(strSafe[n]) == 0xC2 &&
            static_cast<unsigned char>(strSafe[n + 1]) < 0xA0) {
            strSafe.replace(n, 2, "_");
        }
    }
    strSafe = CutBytes(strSafe, kMaxNameBytes);
    while (!strSafe.empty() && (strSafe.back() == '.' || strSafe.back() == ' ')) {
        strSafe.pop_back();
    }
    if (!strSafe.empty() && IsDeviceName(strSafe)) {
        strSafe += '_';
    }
    return strSafe;
}

std::string CRecordName::Build(const std::string& strPattern, const SFields& fields) {
    const std::string strStart = LocalTime(fields.tStart, "%Y%m%d%H%M%S");
    const std::array<std::pair<std::string_view, std::string>, 6> kFields = {{
        {"{start}", strStart},
        {"{date}", LocalTime(fields.tStart, "%Y-%m-%d")},
        {"{time}", LocalTime(fields.tStart, "%H%M")},
        {"{station}", fields.strStation},
        {"{memo}", fields.strMemo},
        {"{band}", fields.strBand},
    }};
    std::string strName;
    for (size_t nAt = 0; nAt < strPattern.size();) {
        const auto field = std::find_if(kFields.begin(), kFields.end(), [&](const auto& entry) {
            return strPattern.compare(nAt, entry.first.size(), entry.first) == 0;
        });
        if (field == kFields.end()) {
            strName += strPattern[nAt++];
            continue;
        }
        strName += field->second;
        nAt += field->first.size();
    }
    strName = Safe(strName);
    return strName.empty() ? strStart : strName;
}

std::string CRecordName::Unused(const std::string& strFolder, const std::string& strName,
                                const std::string& strExtension) {
    std::string strBase = strFolder;
    if (strBase.empty() || strBase.back() != '/') {
        strBase += '/';
    }
    std::string strPath = strBase + strName + "." + strExtension;
    std::error_code error;
    for (int n = 2; n <= kMaxNumber && std::filesystem::exists(strPath, error); ++n) {
        strPath = strBase + strName + " (" + std::to_string(n) + ")." + strExtension;
    }
    return strPath;
}
