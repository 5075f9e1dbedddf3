#include "settings/LanguageTexts.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/TempDir.h"

namespace {

// Runs a block from another current directory and goes back.
class CCurrentDirectory {
public:
    explicit CCurrentDirectory(const std::filesystem::path& path)
        : m_previous(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~CCurrentDirectory() { std::filesystem::current_path(m_previous); }

private:
    std::filesystem::path m_previous;
};

class LanguageTextsTest : public testing::Test {
protected:
    void WriteLanguageFile(const std::string& text) {
        std::ofstream(m_dir.File("Language.ini")) << text;
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CLanguage m_language{m_dir.File("Language.ini")};
    CLanguageTexts m_texts{m_language, m_profile};
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
    EXPECT_EQ(m_texts.LoadLanguageName(), "Japanese");  // fresh profile: index 1

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
    CTempDir elsewhere;
    {
        CCurrentDirectory cd(m_dir.Path());
        EXPECT_EQ(CLanguageTexts::FilePath(), m_dir.File("Language.ini"));
        // [Japanese] has MESSAGE_3, but only [LANGUAGE_2] is read.
        EXPECT_EQ(CLanguageTexts::RecordingMessage(m_profile, "MESSAGE_3"),
                  "Record WMA format file error,Plese install Microsoft Window Media 9/10");
        EXPECT_EQ(CLanguageTexts::RecordingMessage(m_profile, "MESSAGE_4"),
                  "サウンドカードが見つかりません");
    }
    {
        // The file of the current directory at the moment of the lookup.
        CCurrentDirectory cd(elsewhere.Path());
        EXPECT_EQ(CLanguageTexts::RecordingMessage(m_profile, "MESSAGE_4"),
                  "Can't find sound card");
    }
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
