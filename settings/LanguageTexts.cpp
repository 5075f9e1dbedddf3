#include "settings/LanguageTexts.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

#include "generated/BuildInfo.h"
#include "platform/profile/Settings.h"
#include "platform/trace/Trace.h"

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 59> kEnglishMessages{{
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
    {"MESSAGE_28", "Delete this recording? Its file and its entry in the list are removed."},
    {"MESSAGE_29", "The receiver is not plugged in."},
    {"MESSAGE_30",
     "The memo can hold up to 255 characters of text, with no line breaks or other control "
     "characters."},
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
    {"MESSAGE_53",
     "Gaps in the receiver's audio: {count}, {seconds} s in all, recorded as silence."},
    {"MESSAGE_60", "Recording started"},
    {"MESSAGE_61", "Recording finished"},
    {"MESSAGE_62", "Recording failed"},
    {"MESSAGE_63", "Presets"},
    {"MESSAGE_64", "Start recording"},
    {"MESSAGE_65", "Stop recording"},
    {"MESSAGE_66", "Show the window"},
    {"MESSAGE_67", "Hide the window"},
    {"MESSAGE_68", "Quit"},
    {"MESSAGE_69", "muted"},
    {"MESSAGE_70", "Recording to {file}"},
    {"MESSAGE_71", "Unplug the receiver"},
    {"MESSAGE_72", "Plug in the receiver"},
    {"MESSAGE_73",
     "Cannot record in this format. Please install the packages gstreamer1.0-plugins-good (FLAC, "
     "MP3) and gstreamer1.0-plugins-base (Ogg Opus), or choose another record type in the "
     "options."},
    {"MESSAGE_74",
     "The repeat rule gives no recording: check its days, its last date and its count."},
    {"MESSAGE_75",
     "The next recording of this series could not be scheduled; open the task list to schedule it "
     "again."},
    {"MESSAGE_76",
     "Enter whole numbers: days between recordings from 1 to 366, times from 0, minutes early and "
     "late from 0 to 120."},
    {"MESSAGE_77", "{count} older recordings of this task were removed, as its rule keeps."},
}};

constexpr const char* kTag = "language";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string Environment(const char* pName) {
    const char* pValue = std::getenv(pName);
    return pValue ? pValue : "";
}

// The program's path, set once at start-up.
std::filesystem::path& ProgramPath() {
    static std::filesystem::path program;
    return program;
}

std::mutex& ProgramPathMutex() {
    static std::mutex mutex;
    return mutex;
}

bool IsLanguageFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

CLanguageTexts::CLanguageTexts(const CLanguage& language, CProfile& profile, std::string strLocale)
    : m_language(language), m_profile(profile), m_strLocale(std::move(strLocale)) {}

std::string CLanguageTexts::LoadLanguageName() const {
    std::string strName = m_language.ReadString("Language", LanguageKey(), "English");
    const std::string strWhy = !CSettings(m_profile).HasLanguage()
                                   ? "after the locale \"" + m_strLocale + "\""
                                   : "chosen in the options";
    KestrelTrace(kTag, "%s texts from %s (%s)", strName.c_str(), m_language.Path().c_str(),
                 strWhy.c_str());
    return strName;
}

// An empty value is no choice either: the options never store one.
int CLanguageTexts::LanguageIndex() const {
    const CSettings settings(m_profile);
    if (!settings.HasLanguage()) {
        return DefaultLanguageIndex();
    }
    return settings.LanguageIndex(1);
}

// A fresh profile used to select the second language listed whatever the
// desktop's language, and the shipped file lists Japanese second: a new user
// got Japanese texts, and without a Japanese font could not even read the
// language list to change it.
int CLanguageTexts::DefaultLanguageIndex() const {
    const std::string_view wanted = IsJapaneseLocale(m_strLocale) ? "Japanese" : "English";
    const int nTotal = std::min(m_language.ReadInt("Language", "TOTAL", 0), kMaxLanguages);
    for (int k = 1; k <= nTotal; ++k) {
        if (EqualNoCase(m_language.ReadString("Language", "LANGUAGE_" + std::to_string(k)),
                        wanted)) {
            return k - 1;
        }
    }
    return 1;
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

std::string CLanguageTexts::RecordingMessage(std::string_view key) const {
    return m_language.ReadString(LanguageKey(), key, EnglishMessage(key));
}

std::string CLanguageTexts::FilePath(const std::filesystem::path& currentDirectory) {
    std::filesystem::path program;
    {
        const std::lock_guard lock(ProgramPathMutex());
        program = ProgramPath();
    }
    return FindFile(currentDirectory, program);
}

std::string CLanguageTexts::FindFile(const std::filesystem::path& currentDirectory,
                                     const std::filesystem::path& program) {
    std::vector<std::filesystem::path> candidates;
    if (!currentDirectory.empty()) {
        candidates.push_back(currentDirectory / kFileName);
    }
    if (!program.empty()) {
        const std::filesystem::path folder = program.parent_path();
        candidates.push_back(
            (folder / KestrelBuildInfo::kDataDirFromBinDir / kFileName).lexically_normal());
        candidates.push_back(std::filesystem::path(KestrelBuildInfo::kDataDir) / kFileName);
        candidates.push_back(folder / kFileName);
    }
    for (const std::filesystem::path& candidate : candidates) {
        if (IsLanguageFile(candidate)) {
            return candidate.string();
        }
    }
    if (currentDirectory.empty()) {
        KestrelTrace(kTag, "No language file: every text is the built-in one or empty");
        return {};
    }
    KestrelTrace(kTag, "No %s in %s%s: every text is the built-in one or empty",
                 std::string(kFileName).c_str(), currentDirectory.c_str(),
                 program.empty() ? "" : " nor in the installed data folder");
    return (currentDirectory / kFileName).string();
}

void CLanguageTexts::SetProgramPath(std::filesystem::path program) {
    const std::lock_guard lock(ProgramPathMutex());
    ProgramPath() = std::move(program);
}

std::filesystem::path CLanguageTexts::RunningProgram() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        KestrelTrace(kTag, "The program's own path is unknown (%s)", error.message().c_str());
        return {};
    }
    return program;
}

std::string CLanguageTexts::SystemLocale() {
    std::string strLocale;
    for (const char* pName : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        strLocale = Environment(pName);
        if (!strLocale.empty()) {
            break;
        }
    }
    const bool bPlain = strLocale.empty() || strLocale == "C" || strLocale == "POSIX" ||
                        strLocale.starts_with("C.");
    const std::string strLanguages = Environment("LANGUAGE");
    if (!bPlain && !strLanguages.empty()) {
        const std::string strFirst = strLanguages.substr(0, strLanguages.find(':'));
        if (!strFirst.empty()) {
            return strFirst;
        }
    }
    return strLocale;
}

bool CLanguageTexts::IsJapaneseLocale(std::string_view strLocale) {
    if (strLocale.size() < 2 || !EqualNoCase(strLocale.substr(0, 2), "ja")) {
        return false;
    }
    return strLocale.size() == 2 || strLocale[2] == '_' || strLocale[2] == '.' ||
           strLocale[2] == '@';
}

std::string_view CLanguageTexts::EnglishMessage(std::string_view key) {
    for (const auto& [messageKey, text] : kEnglishMessages) {
        if (messageKey == key) {
            return text;
        }
    }
    return {};
}

// Widened: the profile may hold INT_MAX, and i + 1 must not overflow.
std::string CLanguageTexts::LanguageKey() const {
    const long long nIndex = LanguageIndex();
    return "LANGUAGE_" + std::to_string(nIndex + 1);
}
