#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile/Profile.h"
#include "settings/Language.h"

// The lookups the windows make in the language file: the current language's
// name, window texts, message texts with their built-in English defaults,
// and the language list of the options dialog. Holds no texts of its own:
// every call reads the file and the profile as they are now.
//
// strLanguage is the current language's name as LoadLanguageName returned
// it; the core keeps it and hands it in.
class CLanguageTexts {
public:
    static constexpr std::string_view kFileName = "Language.ini";
    // More than any real file lists; a damaged "TOTAL" must not make the
    // options dialog read the file two billion times.
    static constexpr int kMaxLanguages = 100;

    // strLocale is the messages locale ("ja_JP.UTF-8", "C"); it picks the
    // language while the profile holds none.
    CLanguageTexts(const CLanguage& language, CProfile& profile,
                   std::string strLocale = SystemLocale());

    // The name of the language that LanguageIndex() selects, "English" when
    // the file does not name it.
    std::string LoadLanguageName() const;
    // "SET"/"LANGUAGE"; without one, the language of the locale
    // (DefaultLanguageIndex). The options dialog shows and stores this.
    int LanguageIndex() const;
    // The index of the language named "Japanese" for a Japanese locale,
    // "English" for any other; 1 when the file names neither.
    int DefaultLanguageIndex() const;
    // A window text: empty when missing.
    std::string GetText(std::string_view strLanguage, std::string_view key) const;
    // A message text ("MESSAGE_3" to "MESSAGE_13"): the English default when
    // the key is missing or empty.
    std::string GetMessage(std::string_view strLanguage, std::string_view key) const;
    // The options dialog's language names, item k - 1 for "LANGUAGE_k".
    std::vector<std::string> LanguageList(std::string_view strLanguage) const;

    // The recording graph's messages ("MESSAGE_3", "MESSAGE_4"), read anew
    // from the file in the section named like the language's key
    // ("LANGUAGE_2"), not like the language itself. Translations of these two
    // live there. The English text when the key is missing or empty.
    std::string RecordingMessage(std::string_view key) const;

    // The language file: "Language.ini" in the given current directory when
    // there is one. Once the program has said where it lives
    // (SetProgramPath), else the installed one (the data folder seen from the
    // program's folder, then the configured data folder), else the one
    // beside the program (the build folder). With none of them, the current
    // directory's path (no file: the built-in texts); empty when the
    // directory is (the process had none) and nothing else was found.
    static std::string FilePath(const std::filesystem::path& currentDirectory);
    // The same search from a given current directory (may be empty) and
    // program path (empty: the current directory only).
    static std::string FindFile(const std::filesystem::path& currentDirectory,
                                const std::filesystem::path& program);
    // Called once at start-up, before any lookup, by the program itself:
    // tests and tools that never call it see the current directory only.
    static void SetProgramPath(std::filesystem::path program);
    // The running executable (/proc/self/exe); empty when unknown.
    static std::filesystem::path RunningProgram();
    // The locale that decides the language of messages: LANGUAGE's first
    // entry, else LC_ALL, LC_MESSAGES, LANG, the first that is set (LANGUAGE
    // counts only where the locale is not "C", as for gettext).
    static std::string SystemLocale();
    static bool IsJapaneseLocale(std::string_view strLocale);
    // The built-in English text of a message key; empty for other keys.
    static std::string_view EnglishMessage(std::string_view key);

private:
    std::string LanguageKey() const;

    const CLanguage& m_language;
    CProfile& m_profile;
    const std::string m_strLocale;
};
