#include "schedule/TaskRule.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 7> kDays = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr int kMondayToFriday = 0x3E;

std::string Lower(std::string strText) {
    std::transform(strText.begin(), strText.end(), strText.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strText;
}

// "mon,wed,fri" (three letters or the whole name); 0 for other text.
int ParseDays(const std::string& strDays) {
    int nDays = 0;
    size_t nAt = 0;
    while (nAt <= strDays.size()) {
        const size_t nComma = std::min(strDays.find(',', nAt), strDays.size());
        const std::string strDay = strDays.substr(nAt, nComma - nAt);
        const auto found = std::find_if(kDays.begin(), kDays.end(), [&](std::string_view day) {
            return strDay.size() >= 3 && day == std::string_view(strDay).substr(0, 3);
        });
        if (found == kDays.end()) {
            return 0;
        }
        nDays |= 1 << (found - kDays.begin());
        nAt = nComma + 1;
    }
    return nDays;
}

}  // namespace

const char* STaskRule::RepeatName(ERepeat eRepeat) {
    switch (eRepeat) {
        case ERepeat::Once:
            return "once";
        case ERepeat::Daily:
            return "daily";
        case ERepeat::Weekdays:
            return "weekdays";
        case ERepeat::Weekly:
            return "weekly";
        case ERepeat::EveryDays:
            return "every";
    }
    return "once";
}

std::optional<STaskRule::ERepeat> STaskRule::RepeatFromName(const std::string& strName) {
    for (ERepeat eRepeat :
         {ERepeat::Once, ERepeat::Daily, ERepeat::Weekdays, ERepeat::Weekly, ERepeat::EveryDays}) {
        if (strName == RepeatName(eRepeat)) {
            return eRepeat;
        }
    }
    return std::nullopt;
}

bool STaskRule::ParseRepeat(const std::string& strText, std::string& strWhy) {
    const std::string strRule = Lower(strText);
    nWeekdays = 0;
    nEveryDays = 1;
    if (const std::optional<ERepeat> simple = RepeatFromName(strRule);
        simple && *simple != ERepeat::EveryDays) {
        eRepeat = *simple;
        nWeekdays = eRepeat == ERepeat::Weekdays ? kMondayToFriday : 0;
        return true;
    }
    if (strRule.starts_with("every:")) {
        char* pEnd = nullptr;
        const long nDays = std::strtol(strRule.c_str() + 6, &pEnd, 10);
        if (*pEnd != '\0' || pEnd == strRule.c_str() + 6 || nDays < 1 || nDays > kMaxEveryDays) {
            strWhy = "every:N takes a number of days from 1 to " + std::to_string(kMaxEveryDays);
            return false;
        }
        eRepeat = ERepeat::EveryDays;
        nEveryDays = static_cast<int>(nDays);
        return true;
    }
    const std::string strDays = strRule.starts_with("weekdays:") ? strRule.substr(9) : strRule;
    nWeekdays = ParseDays(strDays);
    if (nWeekdays == 0) {
        strWhy =
            "\"" + strText +
            "\" is no repeat: once, daily, weekly, weekdays, every:N or days such as mon,wed,fri";
        return false;
    }
    eRepeat = ERepeat::Weekdays;
    return true;
}

std::string STaskRule::RepeatText() const {
    if (eRepeat == ERepeat::EveryDays) {
        return "every:" + std::to_string(nEveryDays);
    }
    if (eRepeat != ERepeat::Weekdays || nWeekdays == kMondayToFriday) {
        return RepeatName(eRepeat);
    }
    std::string strDays;
    for (size_t n = 1; n <= kDays.size(); ++n) {  // Monday first, as a week is read
        const size_t nDay = n % kDays.size();
        if (nWeekdays & (1 << nDay)) {
            strDays += (strDays.empty() ? "" : ",") + std::string(kDays[nDay]);
        }
    }
    return strDays;
}
