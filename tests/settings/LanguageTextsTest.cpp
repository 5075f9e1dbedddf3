#include "settings/LanguageTexts.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TempDir.h"

namespace {

class LanguageTextsTest : public testing::Test {
protected:
    void WriteLanguageFile(const std::string& text) {
        std::ofstream(m_dir.File("Language.ini")) << text;
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CLanguage m_language{m_dir.File("Language.ini")};
    // A Japanese locale: a fresh profile then selects the second language,
    // the one the shipped file lists as Japanese.
    CLanguageTexts m_texts{m_language, m_profile, "ja_JP.UTF-8"};
};

// Sets environment variables for one block and puts them back.
class CScopedEnvironment {
public:
    CScopedEnvironment(std::initializer_list<std::pair<const char*, const char*>> values) {
        for (const auto& [pName, pValue] : values) {
            const char* pOld = std::getenv(pName);
            m_old.emplace_back(pName, pOld ? std::optional<std::string>(pOld) : std::nullopt);
            pValue ? setenv(pName, pValue, 1) : unsetenv(pName);
        }
    }
    ~CScopedEnvironment() {
        for (const auto& [strName, oldValue] : m_old) {
            oldValue ? setenv(strName.c_str(), oldValue->c_str(), 1) : unsetenv(strName.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_old;
};

constexpr const char* kTwoLanguages =
    "[Language]\nTOTAL=2\nLANGUAGE_1=English\nLANGUAGE_2=Japanese\n"
    "[English]\nBI_APPLY=Apply\nOP_LANGUAGE_1=English\nOP_LANGUAGE_2=Japanese\n"
    "[Japanese]\nbi_apply=登録\nBI_DELETE=\nMESSAGE_5=データベースを開けません\nMESSAGE_6=\n"
    "MESSAGE_3=named section\nOP_LANGUAGE_1=英語\nOP_LANGUAGE_2=日本語\n"
    "[LANGUAGE_2]\nMESSAGE_4=サウンドカードが見つかりません\n";

TEST_F(LanguageTextsTest, WithoutAFileTextsAreEmptyAndMessagesEnglish) {
    EXPECT_EQ(m_texts.LoadLanguageName(), "English");
    EXPECT_EQ(m_texts.GetText("English", "BI_APPLY"), "");
    EXPECT_TRUE(m_texts.LanguageList("English").empty());
    EXPECT_EQ(m_texts.GetMessage("English", "MESSAGE_5"), "Can't open database");
    EXPECT_EQ(m_texts.GetMessage("English", "MESSAGE_13"), "Record fail!");
    EXPECT_EQ(m_language.ReadInt("Language", "TOTAL", 0), 0);

    CLanguage unset;  // no path at all reads like no file
    EXPECT_EQ(unset.ReadString("Language", "TOTAL", "x"), "x");
}

TEST_F(LanguageTextsTest, TheProfileIndexPicksTheLanguageByItsKey) {
    WriteLanguageFile(kTwoLanguages);
    EXPECT_EQ(m_texts.LoadLanguageName(), "Japanese");  // fresh profile, Japanese locale

    m_profile.WriteProfileInt("SET", "LANGUAGE", 0);
    EXPECT_EQ(m_texts.LoadLanguageName(), "English");

    // Keys the file lacks fall back to "English", whatever the file names.
    for (int nIndex : {2, -1, INT_MAX}) {
        m_profile.WriteProfileInt("SET", "LANGUAGE", nIndex);
        EXPECT_EQ(m_texts.LoadLanguageName(), "English") << nIndex;
    }
    m_profile.WriteProfileInt("SETTING", "LANGUAGE", 0);  // another section
    m_profile.WriteProfileInt("SET", "LANGUAGE", 1);
    EXPECT_EQ(m_texts.LoadLanguageName(), "Japanese");
}

TEST_F(LanguageTextsTest, EmptyTextsStayEmptyAndEmptyMessagesFallBack) {
    WriteLanguageFile(kTwoLanguages);
    EXPECT_EQ(m_texts.GetText("JAPANESE", "BI_APPLY"), "登録");
    EXPECT_EQ(m_texts.GetText("Japanese", "BI_DELETE"), "");
    EXPECT_EQ(m_texts.GetText("Japanese", "BI_QUIT"), "");
    EXPECT_EQ(m_texts.GetMessage("Japanese", "MESSAGE_5"), "データベースを開けません");
    EXPECT_EQ(m_texts.GetMessage("Japanese", "MESSAGE_6"), "Can't find audio device");
    EXPECT_EQ(m_texts.GetMessage("Japanese", "MESSAGE_12"), "Freq out");
    EXPECT_EQ(m_texts.GetMessage("Japanese", "MESSAGE_99"), "");
}

TEST_F(LanguageTextsTest, RecordingMessagesComeFromTheSectionNamedLikeTheKey) {
    WriteLanguageFile(kTwoLanguages);
    m_profile.WriteProfileInt("SET", "LANGUAGE", 1);
    EXPECT_EQ(CLanguageTexts::FilePath(m_dir.Path()), m_dir.File("Language.ini"));
    // [Japanese] has MESSAGE_3, but only [LANGUAGE_2] is read.
    EXPECT_EQ(m_texts.RecordingMessage("MESSAGE_3"),
              "Record WMA format file error,Plese install Microsoft Window Media 9/10");
    EXPECT_EQ(m_texts.RecordingMessage("MESSAGE_4"), "サウンドカードが見つかりません");

    // Each lookup reads the file and the profile as they are now.
    WriteLanguageFile("[LANGUAGE_2]\nMESSAGE_3=edited\n[LANGUAGE_1]\nMESSAGE_4=first\n");
    EXPECT_EQ(m_texts.RecordingMessage("MESSAGE_3"), "edited");
    EXPECT_EQ(m_texts.RecordingMessage("MESSAGE_4"), "Can't find sound card");
    m_profile.WriteProfileInt("SET", "LANGUAGE", 0);
    EXPECT_EQ(m_texts.RecordingMessage("MESSAGE_4"), "first");
}

TEST_F(LanguageTextsTest, WithoutAStoredLanguageTheLocaleChoosesIt) {
    WriteLanguageFile(kTwoLanguages);
    for (const char* pLocale : {"C", "", "POSIX", "en_GB.UTF-8", "de_DE@euro", "jav_ID"}) {
        const CLanguageTexts texts(m_language, m_profile, pLocale);
        EXPECT_EQ(texts.LanguageIndex(), 0) << pLocale;
        EXPECT_EQ(texts.LoadLanguageName(), "English") << pLocale;
    }
    for (const char* pLocale : {"ja_JP.UTF-8", "ja", "ja_JP", "JA_jp.eucJP", "ja@x"}) {
        const CLanguageTexts texts(m_language, m_profile, pLocale);
        EXPECT_EQ(texts.LanguageIndex(), 1) << pLocale;
        EXPECT_EQ(texts.LoadLanguageName(), "Japanese") << pLocale;
    }

    // A choice made in the options wins over the locale, and an empty value
    // is no choice.
    const CLanguageTexts english(m_language, m_profile, "en_US.UTF-8");
    m_profile.WriteProfileInt("SET", "LANGUAGE", 1);
    EXPECT_EQ(english.LoadLanguageName(), "Japanese");
    m_profile.WriteProfileInt("SET", "LANGUAGE", 0);
    EXPECT_EQ(CLanguageTexts(m_language, m_profile, "ja_JP.UTF-8").LoadLanguageName(), "English");
    m_profile.WriteProfileString("SET", "LANGUAGE", "");
    EXPECT_EQ(english.LoadLanguageName(), "English");
}

TEST_F(LanguageTextsTest, TheLocalesLanguageIsFoundByItsNameWhereverTheFileListsIt) {
    WriteLanguageFile(
        "[Language]\nTOTAL=3\nLANGUAGE_1=German\nLANGUAGE_2=japanese\n"
        "LANGUAGE_3=English\n");
    EXPECT_EQ(CLanguageTexts(m_language, m_profile, "en_US.UTF-8").LanguageIndex(), 2);
    EXPECT_EQ(CLanguageTexts(m_language, m_profile, "ja_JP.UTF-8").LanguageIndex(), 1);

    // A file that names neither keeps the old default, the second language.
    WriteLanguageFile("[Language]\nTOTAL=2\nLANGUAGE_1=German\nLANGUAGE_2=French\n");
    EXPECT_EQ(CLanguageTexts(m_language, m_profile, "en_US.UTF-8").LoadLanguageName(), "French");
    // Languages past TOTAL are not offered, so not chosen either.
    WriteLanguageFile("[Language]\nTOTAL=1\nLANGUAGE_1=German\nLANGUAGE_2=English\n");
    EXPECT_EQ(CLanguageTexts(m_language, m_profile, "en_US.UTF-8").LanguageIndex(), 1);
}

TEST(SystemLocaleTest, MessagesFollowTheLocaleVariablesInGettextOrder) {
    {
        CScopedEnvironment env{{"LANGUAGE", nullptr},
                               {"LC_ALL", nullptr},
                               {"LC_MESSAGES", nullptr},
                               {"LANG", "ja_JP.UTF-8"}};
        EXPECT_EQ(CLanguageTexts::SystemLocale(), "ja_JP.UTF-8");
    }
    {
        CScopedEnvironment env{{"LANGUAGE", nullptr},
                               {"LC_ALL", "en_US.UTF-8"},
                               {"LC_MESSAGES", "de_DE.UTF-8"},
                               {"LANG", "ja_JP.UTF-8"}};
        EXPECT_EQ(CLanguageTexts::SystemLocale(), "en_US.UTF-8");
    }
    {
        CScopedEnvironment env{{"LANGUAGE", nullptr},
                               {"LC_ALL", ""},
                               {"LC_MESSAGES", "ja_JP.UTF-8"},
                               {"LANG", "en_US.UTF-8"}};
        EXPECT_EQ(CLanguageTexts::SystemLocale(), "ja_JP.UTF-8");
    }
    {
        // LANGUAGE's list goes first, but not over the C locale.
        CScopedEnvironment env{{"LANGUAGE", "ja:en"},
                               {"LC_ALL", nullptr},
                               {"LC_MESSAGES", nullptr},
                               {"LANG", "en_US.UTF-8"}};
        EXPECT_EQ(CLanguageTexts::SystemLocale(), "ja");
    }
    {
        CScopedEnvironment env{{"LANGUAGE", "ja:en"},
                               {"LC_ALL", "C.UTF-8"},
                               {"LC_MESSAGES", nullptr},
                               {"LANG", nullptr}};
        EXPECT_EQ(CLanguageTexts::SystemLocale(), "C.UTF-8");
        EXPECT_FALSE(CLanguageTexts::IsJapaneseLocale(CLanguageTexts::SystemLocale()));
    }
}

// The current directory first; then, for the program that said where it
// lives, its installed data folder, then the folder beside it.
TEST(LanguageFileSearchTest, TheCurrentDirectoryThenTheInstalledDataFolderThenBesideTheProgram) {
    CTempDir prefix;
    CTempDir home;
    const std::filesystem::path bin = prefix.Path() / "bin";
    const std::filesystem::path data = prefix.Path() / "share" / "kestrel";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(data);
    const std::filesystem::path program = bin / "kestrel";
    std::ofstream(program) << "";
    const std::string installed = (data / "Language.ini").string();
    const std::string beside = (bin / "Language.ini").string();
    const std::string own = home.File("Language.ini");

    EXPECT_EQ(CLanguageTexts::FindFile(home.Path(), program), own);  // none anywhere
    EXPECT_EQ(CLanguageTexts::FindFile({}, program), "");

    std::ofstream(beside) << "[Language]\n";
    EXPECT_EQ(CLanguageTexts::FindFile(home.Path(), program), beside);
    std::ofstream(installed) << "[Language]\n";
    EXPECT_EQ(CLanguageTexts::FindFile(home.Path(), program), installed);
    EXPECT_EQ(CLanguageTexts::FindFile({}, program), installed);
    // Without the program's path only the current directory counts.
    EXPECT_EQ(CLanguageTexts::FindFile(home.Path(), {}), own);

    // A folder of that name is no language file.
    std::filesystem::create_directory(own);
    EXPECT_EQ(CLanguageTexts::FindFile(home.Path(), program), installed);
    std::filesystem::remove(own);
    std::ofstream(own) << "[Language]\n";
    EXPECT_EQ(CLanguageTexts::FindFile(home.Path(), program), own);
}

TEST(LanguageFileSearchTest, TheRunningProgramIsThisTest) {
    const std::filesystem::path program = CLanguageTexts::RunningProgram();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(std::filesystem::equivalent(program, "/proc/self/exe"));
}

TEST_F(LanguageTextsTest, LongValuesAreCutAfter259Characters) {
    const std::string ascii(300, 'a');
    std::string japanese;
    for (int i = 0; i < 300; ++i) {
        japanese += "音";
    }
    WriteLanguageFile("[English]\nLONG=" + ascii + "\nWIDE=" + japanese + "\n");
    EXPECT_EQ(m_texts.GetText("English", "LONG"), ascii.substr(0, 259));
    // 259 whole characters, not 259 bytes of a broken one.
    EXPECT_EQ(m_texts.GetText("English", "WIDE"), japanese.substr(0, 259 * 3));
}

TEST_F(LanguageTextsTest, TheLanguageListFollowsTotalInTheCurrentLanguage) {
    WriteLanguageFile(kTwoLanguages);
    EXPECT_EQ(m_texts.LanguageList("Japanese"), (std::vector<std::string>{"英語", "日本語"}));

    CTempDir other;
    std::ofstream(other.File("Language.ini"))
        << "[Language]\nTOTAL=3\n[English]\nOP_LANGUAGE_1=English\nOP_LANGUAGE_3=German\n";
    CLanguage three(other.File("Language.ini"));
    CLanguageTexts texts(three, m_profile);
    EXPECT_EQ(texts.LanguageList("English"), (std::vector<std::string>{"English", "", "German"}));

    CTempDir damaged;
    std::ofstream(damaged.File("Language.ini")) << "[Language]\nTOTAL=2000000000\n";
    CLanguage huge(damaged.File("Language.ini"));
    EXPECT_EQ(CLanguageTexts(huge, m_profile).LanguageList("English").size(),
              size_t{CLanguageTexts::kMaxLanguages});
}

// The file is read the safe way: a FIFO or a device in its place gives the
// built-in texts at once and stays as it is.
TEST_F(LanguageTextsTest, ALanguageFileThatIsNoFileGivesTheDefaults) {
    const std::string path = m_dir.File("Language.ini");
    ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
    EXPECT_EQ(m_texts.LoadLanguageName(), "English");
    EXPECT_EQ(m_texts.GetMessage("English", "MESSAGE_5"), "Can't open database");
    EXPECT_TRUE(m_texts.LanguageList("English").empty());
    EXPECT_TRUE(std::filesystem::is_fifo(path));

    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/zero", path);
    EXPECT_EQ(m_texts.LoadLanguageName(), "English");
    EXPECT_EQ(m_language.ReadInt("Language", "TOTAL", 0), 0);
    EXPECT_EQ(std::filesystem::read_symlink(path), "/dev/zero");
}

}  // namespace
