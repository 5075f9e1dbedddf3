#include "platform/profile/IniFile.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

size_t Count(const std::string& text, const std::string& part) {
    size_t nCount = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++nCount;
    }
    return nCount;
}

std::string Notice(const fs::path& path) {
    return "Kestrel: cannot read " + path.string() + " (";
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class IniFileTest : public testing::Test {
protected:
    void WriteFile(const std::string& text) { std::ofstream(m_path, std::ios::binary) << text; }
    std::string ReadFile() const { return ReadText(m_path); }

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
    EXPECT_EQ(CIniFile::ParseInt("0o17"), 15);
    EXPECT_EQ(CIniFile::ParseInt("-0b101"), -5);
    EXPECT_EQ(CIniFile::ParseInt("0X1F"), 0);  // only lower-case prefixes count
    EXPECT_EQ(CIniFile::ParseInt("0O17"), 0);
    EXPECT_EQ(CIniFile::ParseInt("0B101"), 0);
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

// A batch is one replacement: every value lands, new sections too, and a
// key written twice keeps the last.
TEST_F(IniFileTest, ABatchOfWritesLandsAsOneFile) {
    CIniFile ini(m_dir.File("batch.ini"));
    ASSERT_TRUE(ini.WriteString("KEYS", "KEY_FM_0", "1"));
    const std::vector<CIniFile::SWrite> writes = {{"KEYS", "KEY_FM_0", "2"},
                                                  {"KEYS", "KEY_FM_1", "3"},
                                                  {"SETS", "NAME_0", "Home"},
                                                  {"KEYS", "KEY_FM_1", "4"}};
    ASSERT_TRUE(ini.WriteStrings(writes));
    EXPECT_EQ(ini.ReadInt("KEYS", "KEY_FM_0", 0), 2);
    EXPECT_EQ(ini.ReadInt("KEYS", "KEY_FM_1", 0), 4);
    EXPECT_EQ(ini.ReadString("SETS", "NAME_0", 100), "Home");
    EXPECT_EQ(Count(ReadText(m_dir.File("batch.ini")), "[KEYS]"), 1u);
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
    // The next write clears what the killed writer left.
    ASSERT_TRUE(after.WriteString("Z", "end", "2"));
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"Kestrel.ini"});
}

TEST_F(IniFileTest, TheFirstWriteRemovesTemporariesOfWritersThatAreGone) {
    pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) {
        _exit(0);
    }
    waitpid(gone, nullptr, 0);
    const std::string live = ".Kestrel.ini.tmp-" + std::to_string(getpid());
    const std::vector<std::string> leftovers = {
        ".Kestrel.ini.tmp-" + std::to_string(gone) + "-a1b2c3",  // killed writer
        live + "-d4e5f6",                                        // a writer at work
        live + "-g7h8i9",                                        // abandoned an hour ago
        ".Kestrel.ini.tmp-notes",                                // not a temporary of ours
        "Kestrel.ini.bak",
        ".Other.ini.tmp-" + std::to_string(gone) + "-a1b2c3",
    };
    for (const std::string& name : leftovers) {
        std::ofstream(m_dir.File(name)) << "[SET]\n";
    }
    fs::last_write_time(m_dir.File(live + "-g7h8i9"),
                        fs::file_time_type::clock::now() - std::chrono::hours(1));

    ASSERT_TRUE(m_ini.WriteString("SET", "BAND", "2"));
    std::vector<std::string> kept = {live + "-d4e5f6", leftovers[3], leftovers[4], leftovers[5],
                                     "Kestrel.ini"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Listing(m_dir.Path()), kept);
}

// As root every file is readable, so the reader runs as nobody: a profile it
// may not read must keep every setting, not be replaced by the one key written.
TEST_F(IniFileTest, AProfileThatCannotBeReadIsNeverReplaced) {
    const std::string text = "[SET]\nBAND=2\n[KEYS]\nKEY_FM_1=9810\n";
    WriteFile(text);
    ASSERT_EQ(chmod(m_path.c_str(), 0), 0);
    ASSERT_EQ(chmod(m_dir.Path().c_str(), 0777), 0);
    testing::internal::CaptureStderr();
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        CIniFile ini(m_path);
        const bool bDefaults =
            ini.ReadInt("SET", "BAND", 1) == 1 && ini.ReadInt("KEYS", "KEY_FM_1", 0) == 0;
        const bool bRefused = !ini.WriteString("SET", "BAND", "0") &&
                              !CIniFile(m_path).WriteString("KEYS", "KEY_FM_2", "8000");
        _exit(bDefaults && bRefused ? 0 : 1);
    }
    int status = 0;
    waitpid(reader, &status, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    chmod(m_dir.Path().c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "cannot run as another user";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(), text);
    EXPECT_EQ(Count(err, Notice(m_path)), 1u) << err;  // once, with the reason
    EXPECT_EQ(Count(err, "Permission denied"), 1u) << err;
    EXPECT_EQ(Listing(m_dir.Path()), std::vector<std::string>{"Kestrel.ini"});
}

// A folder, a FIFO without writer, a device or an oversized file at the path
// is neither waited on, nor read whole, nor replaced.
TEST_F(IniFileTest, OnlyARegularFileIsReadOrReplaced) {
    const fs::path folder = m_dir.File("folder.ini");
    const fs::path fifo = m_dir.File("fifo.ini");
    const fs::path toFifo = m_dir.File("to-fifo.ini");
    const fs::path zero = m_dir.File("zero.ini");
    const fs::path large = m_dir.File("large.ini");
    fs::create_directory(folder);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    fs::create_symlink("fifo.ini", toFifo);
    fs::create_symlink("/dev/zero", zero);
    std::ofstream(large) << "[SET]\nBAND=2\n";
    fs::resize_file(large, CIniFile::kMaxFileSize + 1);

    testing::internal::CaptureStderr();
    for (const fs::path& path : {folder, fifo, toFifo, zero, large}) {
        CIniFile ini(path.string());
        EXPECT_EQ(ini.ReadInt("SET", "BAND", 7), 7) << path;
        EXPECT_FALSE(ini.WriteString("SET", "BAND", "1")) << path;
        EXPECT_EQ(CIniFile(path.string()).ReadInt("SET", "BAND", 7), 7) << path;
    }
    const std::string err = testing::internal::GetCapturedStderr();
    for (const fs::path& path : {folder, fifo, toFifo, zero, large}) {
        EXPECT_EQ(Count(err, Notice(path)), 1u) << err;
    }
    EXPECT_EQ(Count(err, Notice(folder) + "Is a directory)"), 1u) << err;
    EXPECT_EQ(Count(err, Notice(large) + "larger than 4 MiB)"), 1u) << err;
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder)));
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(fifo)));
    EXPECT_EQ(fs::read_symlink(toFifo), "fifo.ini");
    EXPECT_EQ(fs::read_symlink(zero), "/dev/zero");
    EXPECT_TRUE(fs::is_character_file("/dev/zero"));
    EXPECT_EQ(fs::file_size(large), CIniFile::kMaxFileSize + 1);
    EXPECT_EQ(Listing(m_dir.Path()),
              (std::vector<std::string>{"fifo.ini", "folder.ini", "large.ini", "to-fifo.ini",
                                        "zero.ini"}));
}

// A linked profile stays linked: the write lands in the file at the end of
// the chain, its temporary beside it.
TEST_F(IniFileTest, WritesGoThroughSymbolicLinks) {
    fs::create_directories(m_dir.Path() / "real");
    fs::create_directories(m_dir.Path() / "links");
    std::ofstream(m_dir.File("real/Kestrel.ini")) << "[SET]\nBAND=1\n";
    fs::create_symlink("../real/Kestrel.ini", m_dir.File("links/step.ini"));
    fs::create_symlink("links/step.ini", m_path);

    ASSERT_TRUE(m_ini.WriteString("SET", "BAND", "2"));
    EXPECT_EQ(fs::read_symlink(m_path), "links/step.ini");
    EXPECT_EQ(fs::read_symlink(m_dir.File("links/step.ini")), "../real/Kestrel.ini");
    EXPECT_EQ(ReadText(m_dir.File("real/Kestrel.ini")), "[SET]\nBAND=2\n");
    EXPECT_EQ(m_ini.ReadInt("SET", "BAND", 0), 2);
    EXPECT_EQ(Listing(m_dir.File("real")), std::vector<std::string>{"Kestrel.ini"});

    // A link to a file not made yet makes it.
    fs::create_symlink(m_dir.File("real/New.ini"), m_dir.File("new.ini"));
    ASSERT_TRUE(CIniFile(m_dir.File("new.ini")).WriteString("SET", "BAND", "0"));
    EXPECT_TRUE(fs::is_symlink(m_dir.File("new.ini")));
    EXPECT_EQ(ReadText(m_dir.File("real/New.ini")), "[SET]\nBAND=0\n");
}

}  // namespace
