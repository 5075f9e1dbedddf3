#pragma once

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

    CLanguageTexts(const CLanguage& language, const CProfile& profile);

    // The name of the language that "SET"/"LANGUAGE" (default 1) selects,
    // "English" when the file does not name it.
    std::string LoadLanguageName() const;
    // A window text: empty when missing.
    std::string GetText(std::string_view strLanguage, std::string_view key) const;
    // A message text ("MESSAGE_3" to "MESSAGE_13"): the English default when
    // the key is missing or empty.
    std::string GetMessage(std::string_view strLanguage, std::string_view key) const;
    // The options dialog's language names, item k - 1 for "LANGUAGE_k".
    std::vector<std::string> LanguageList(std::string_view strLanguage) const;

    // The recording graph's messages ("MESSAGE_3", "MESSAGE_4"), read from
    // the language file in the current directory at the moment of the call,
    // in the section named like the language's key ("LANGUAGE_2"), not like
    // the language itself. Translations of these two live there.
    static std::string RecordingMessage(const CProfile& profile, std::string_view key);

    // The current directory followed by "/Language.ini"; empty (no file)
    // when the current directory cannot be read.
    static std::string FilePath();
    // The built-in English text of a message key; empty for other keys.
    static std::string_view EnglishMessage(std::string_view key);

private:
    static std::string LanguageKey(const CProfile& profile);

    const CLanguage& m_language;
    const CProfile& m_profile;
};
