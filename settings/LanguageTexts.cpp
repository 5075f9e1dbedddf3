#include "settings/LanguageTexts.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/trace/Trace.h"

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 37> kEnglishMessages{{
    {"MESSAGE_3", "Record WMA format file error,Plese install Microsoft Window Media 9/10"},
    {"MESSAGE_4", "Can't find sound card"},
    {"MESSAGE_5", "Can't open database"},
    {"MESSAGE_6", "Can't find audio device"},
    {"MESSAGE_8", "Can't record before time"},
    {"MESSAGE_9", "End time must at begin time after"},
    {"MESSAGE_10", "Record time conflict!"},
    {"MESSAGE_11", "Can't append"},
    {"MESSAGE_12", "Freq out"},
    {"MESSAGE_13", "Record fail!"},
    // Kestrel's own messages.
    {"MESSAGE_14",
     "The disk is full. The recording was stopped; what was recorded until then is saved."},
    {"MESSAGE_15",
     "The recording stopped because of an error. What was recorded until then is saved."},
    {"MESSAGE_16",
     "The record folder's name cannot be kept in the catalogue: it is not valid text or it is "
     "too long. Please choose another folder in the options."},
    {"MESSAGE_17", "The short key could not be saved: the settings file cannot be written."},
    {"MESSAGE_18", "The recording could not be removed from the catalogue."},
    {"MESSAGE_19", "A file of this name already exists; the recording was not saved."},
    {"MESSAGE_20", "The recording could not be saved."},
    {"MESSAGE_21",
     "The task scheduler could not register this recording, so it was not added. Please try "
     "again."},
    {"MESSAGE_22",
     "The disk is full, so the recording cannot start. Free some space or choose another record "
     "folder in the options."},
    {"MESSAGE_23",
     "The sound card stopped delivering audio, so the recording was stopped. What was recorded "
     "until then is saved."},
    {"MESSAGE_24", "The recording stopped before any audio was written; no file was saved."},
    {"MESSAGE_25",
     "Scheduled recordings need the at daemon (atd), which is not running. An administrator can "
     "enable it once with: sudo systemctl enable --now atd"},
    {"MESSAGE_26",
     "Scheduled recordings need the at command, which this user may not use. An administrator "
     "can allow it by adding the user name to /etc/at.allow (if that file exists) or removing it "
     "from /etc/at.deny."},
    {"MESSAGE_27",
     "The recording is stored, but the task scheduler could not register it, so it will not "
     "start by itself. Delete it in the task list and add it again."},
    {"MESSAGE_40", "The receiver was not plugged in, so the scheduled recording did not start."},
    {"MESSAGE_41", "Missed: Kestrel started after the scheduled recording's end time."},
    {"MESSAGE_42", "Started {minutes} min late."},
    {"MESSAGE_43", "Stopped by hand before its end."},
    {"MESSAGE_44", "Stopped before its end: another scheduled recording started."},
    {"MESSAGE_45", "Stopped before its end: Kestrel was closed."},
    {"MESSAGE_46", "The receiver was unplugged during the recording."},
    {"MESSAGE_47",
     "The disk may fill before the end: the recording needs about {needed} MB and {free} MB are "
     "free."},
    {"MESSAGE_48", "The scheduled recording is no longer in the schedule."},
    {"MESSAGE_49", "Scheduled recording finished"},
    {"MESSAGE_50", "Scheduled recording partly made"},
    {"MESSAGE_51", "Scheduled recording missed"},
    {"MESSAGE_52", "Scheduled recording failed"},
}};

}  // namespace

CLanguageTexts::CLanguageTexts(const CLanguage& language, const CProfile& profile)
    : m_language(language), m_profile(profile) {}

std::string CLanguageTexts::LoadLanguageName() const {
    return m_language.ReadString("Language", LanguageKey(m_profile), "English");
}

std::string CLanguageTexts::GetText(std::string_view strLanguage, std::string_view key) const {
    return m_language.ReadString(strLanguage, key);
}

std::string CLanguageTexts::GetMessage(std::string_view strLanguage, std::string_view key) const {
    return m_language.ReadString(strLanguage, key, EnglishMessage(key));
}

std::vector<std::string> CLanguageTexts::LanguageList(std::string_view strLanguage) const {
    int nTotal = m_language.ReadInt("Language", "TOTAL", 0);
    if (nTotal > kMaxLanguages) {
        KestrelTrace("CLanguageTexts", "%s lists %d languages; only the first %d are offered",
                     m_language.Path().c_str(), nTotal, kMaxLanguages);
        nTotal = kMaxLanguages;
    }
    std::vector<std::string> names;
    for (int k = 1; k <= nTotal; ++k) {
        names.push_back(m_language.ReadString(strLanguage, "OP_LANGUAGE_" + std::to_string(k)));
    }
    return names;
}

std::string CLanguageTexts::RecordingMessage(const CProfile& profile, std::string_view key) {
    CLanguage language(FilePath());
    return language.ReadString(LanguageKey(profile), key, EnglishMessage(key));
}

std::string CLanguageTexts::FilePath() {
    std::error_code error;
    std::filesystem::path directory = std::filesystem::current_path(error);
    if (error) {
        KestrelTrace("CLanguageTexts", "No current directory (%s): the language file is not read",
                     error.message().c_str());
        return {};
    }
    return (directory / kFileName).string();
}

std::string_view CLanguageTexts::EnglishMessage(std::string_view key) {
    for (const auto& [messageKey, text] : kEnglishMessages) {
        if (messageKey == key) {
            return text;
        }
    }
    return {};
}

std::string CLanguageTexts::LanguageKey(const CProfile& profile) {
    // Widened: the profile may hold INT_MAX, and i + 1 must not overflow.
    const long long nIndex = profile.GetProfileInt("SET", "LANGUAGE", 1);
    return "LANGUAGE_" + std::to_string(nIndex + 1);
}
