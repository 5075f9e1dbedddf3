#include "platform/profile/IniFile.h"

#include <csignal>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

namespace {

class IniFileTest : public testing::Test {
protected:
    void WriteFile(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
    std::string ReadFile() const {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    CTempDir m_dir;
    std::string m_path = m_dir.File("Kestrel.ini");
    CIniFile m_ini{m_path};
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", 1), 1);
    EXPECT_FALSE(m_ini.ReadString("SET", "PATH", 4095));
    WriteFile("[SET]\nBAND=2\n");
    EXPECT_EQ(m_ini.ReadInt("SET", "SCANLEVEL", 7), 7);
    EXPECT_EQ(m_ini.ReadInt("SETTING", "BAND", 9), 9);
}

TEST_F(IniFileTest, FollowsThePrivateProfileRules) {
    WriteFile(
        "; comment\r\n"
        "  [ set ]  \r\n"
        "  Band = 2 \r\n"
        "band=0\r\n"
        "Path=\"/tmp/with blanks \"\r\n"
        ";Band=5\r\n"
        "no equals sign here\r\n"
        "[SET]\r\n"
        "PinName=second section loses\r\n"
        "[SETTING]\r\n"
        "BAND=1\r\n");
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", -1), 2);  // first of duplicates wins
    EXPECT_EQ(m_ini.ReadString("Set", "path", 4095), "/tmp/with blanks ");
    EXPECT_FALSE(m_ini.ReadString("SET", "PinName", 4095));
    EXPECT_EQ(m_ini.ReadInt("SETTING", "BAND", -1), 1);
}

TEST_F(IniFileTest, ParsesIntegersAsTheProfileCallsDo) {
    EXPECT_EQ(CIniFile::ParseInt("12abc"), 12);
    EXPECT_EQ(CIniFile::ParseInt("  -5"), -5);
    EXPECT_EQ(CIniFile::ParseInt("+7"), 7);
    EXPECT_EQ(CIniFile::ParseInt("0x1F"), 31);
    EXPECT_EQ(CIniFile::ParseInt("abc"), 0);
    EXPECT_EQ(CIniFile::ParseInt("4294967295"), -1);
    EXPECT_EQ(CIniFile::ParseInt("-2147473648"), -2147473648);
    WriteFile("[SET]\nEMPTY=\nJUNK=x\n");
    EXPECT_EQ(m_ini.ReadInt("SET", "EMPTY", 3), 3);
    EXPECT_EQ(m_ini.ReadInt("SET", "JUNK", 3), 0);
}

TEST_F(IniFileTest, CutsValuesAtTheGivenLength) {
    WriteFile("[A]\nk=" + std::string(300, 'x') + "\n");
    EXPECT_EQ(m_ini.ReadString("A", "k", 259)->size(), 259u);
    WriteFile("[A]\nk=x\xE3\x83\x9E\n");  // "x" and one three-byte character
    EXPECT_EQ(m_ini.ReadString("A", "k", 3), "x");
}

TEST_F(IniFileTest, WritesKeepEveryOtherLine) {
    WriteFile("; keep me\n[SET]\nBAND=1\n\n  odd line\n[KEYS]\nKEY_FM_0=9810\n");
    ASSERT_TRUE(m_ini.WriteString("set", "band", "2"));
    ASSERT_TRUE(m_ini.WriteString("SET", "PATH", "/music"));
    ASSERT_TRUE(m_ini.WriteString("SETTING", "FM_FREQ", "8750"));
    EXPECT_EQ(ReadFile(),
              "; keep me\n[SET]\nBAND=2\nPATH=/music\n\n  odd line\n[KEYS]\nKEY_FM_0=9810\n"
              "\n[SETTING]\nFM_FREQ=8750\n");
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", 0), 2);
}

TEST_F(IniFileTest, AValueWithLineBreaksCannotAddKeys) {
    ASSERT_TRUE(m_ini.WriteString("KEYS", "KEY_FM_1_Title", "Jazz\nKEY_FM_2=123"));
    EXPECT_EQ(m_ini.ReadString("KEYS", "KEY_FM_1_Title", 4095), "Jazz KEY_FM_2=123");
    EXPECT_EQ(m_ini.ReadInt("KEYS", "KEY_FM_2", 0), 0);
}

TEST_F(IniFileTest, ReadsTheParseableEntriesOfADamagedFile) {
    std::string junk = "[SET]\nBAND=2\n";
    junk += std::string("\x00\xff\xfe[[[==\x01", 9);
    junk += "\n" + std::string(1 << 20, 'z') + "\n[KEYS]\nKEY_AM_3=1008";  // no final newline
    WriteFile(junk);
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", 0), 2);
    EXPECT_EQ(m_ini.ReadInt("KEYS", "KEY_AM_3", 0), 1008);
    ASSERT_TRUE(m_ini.WriteString("KEYS", "KEY_AM_4", "999"));
    EXPECT_EQ(m_ini.ReadInt("KEYS", "KEY_AM_3", 0), 1008);
    EXPECT_EQ(m_ini.ReadInt("KEYS", "KEY_AM_4", 0), 999);
}

TEST_F(IniFileTest, SeesChangesMadeByOthers) {
    WriteFile("[SET]\nBAND=1\n");
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", 0), 1);
    CIniFile other(m_path);
    ASSERT_TRUE(other.WriteString("SET", "BAND", "2"));
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", 0), 2);
}

TEST_F(IniFileTest, AFailedWriteLeavesTheFileAlone) {
    WriteFile("[SET]\nBAND=1\n");
    CIniFile blocked(m_path + "/not-a-folder/Kestrel.ini");
    EXPECT_FALSE(blocked.WriteString("SET", "BAND", "2"));
    EXPECT_EQ(ReadFile(), "[SET]\nBAND=1\n");
}

// A reader, or a writer killed at any moment, never leaves half a file: every
// read shows all keys and the closing section, old values or new.
TEST_F(IniFileTest, SurvivesAKillAtAnyPointOfAWrite) {
    std::string text = "[A]\n";
    for (int i = 0; i < 200; ++i) {
        text += "k" + std::to_string(i) + "=0\n";
    }
    WriteFile(text + "[Z]\nend=1\n");
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        CIniFile ini(m_path);
        for (int n = 1;; ++n) {
            ini.WriteString("A", "k" + std::to_string(n % 200), std::to_string(n));
        }
    }
    for (int read = 0; read < 3000; ++read) {
        CIniFile reader(m_path);
        ASSERT_EQ(reader.ReadInt("Z", "end", 0), 1) << "read " << read;
        ASSERT_TRUE(reader.ReadString("A", "k199", 16)) << "read " << read;
    }
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    CIniFile after(m_path);
    EXPECT_EQ(after.ReadInt("Z", "end", 0), 1);
    for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(after.ReadString("A", "k" + std::to_string(i), 16));
    }
}

}  // namespace
