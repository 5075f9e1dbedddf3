#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "record/RecordName.h"
#include "tests/support/TempDir.h"

namespace {

// 9 December 2026, 18:00:05 local time.
std::time_t Evening() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 9;
    local.tm_hour = 18;
    local.tm_sec = 5;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

CRecordName::SFields Fields(const std::string& strStation, const std::string& strMemo = {}) {
    return {Evening(), strStation, strMemo, "FM"};
}

TEST(RecordNameTest, WithoutAPatternTheNameIsTheStartTime) {
    EXPECT_EQ(CRecordName::Build("", Fields("Kestrel FM")), "20261209180005");
    EXPECT_EQ(CRecordName::Build("{start}", Fields("Kestrel FM")), "20261209180005");
    // Nothing left of a pattern is no name either.
    EXPECT_EQ(CRecordName::Build("{memo}", Fields("Kestrel FM")), "20261209180005");
    EXPECT_EQ(CRecordName::Build(" ... ", Fields("Kestrel FM")), "20261209180005");
}

TEST(RecordNameTest, ThePatternsFieldsAreFilledAndOtherTextStands) {
    EXPECT_EQ(CRecordName::Build("{date} {time} {station} - {memo} ({band})",
                                 Fields("Kestrel FM", "Evening concert")),
              "2026-12-09 1800 Kestrel FM - Evening concert (FM)");
    EXPECT_EQ(CRecordName::Build("{stat}{station}", Fields("K")), "{stat}K");
    EXPECT_EQ(CRecordName::Build("ラジオ {station}", Fields("ＦＭ東京")), "ラジオ ＦＭ東京");
}

// ext4 takes almost anything; exFAT, FAT32, NTFS and SMB shares do not.
TEST(RecordNameTest, NamesAreSafeOnEveryFileSystem) {
    EXPECT_EQ(CRecordName::Build("{station}", Fields("AC/DC: Live? <\"1\"> | *\\")),
              "AC_DC_ Live_ __1__ _ __");
    EXPECT_EQ(CRecordName::Build("{memo}", Fields("", "line\none\ttab\x1b[31m")),
              "line one tab [31m");
    EXPECT_EQ(CRecordName::Build("{memo}", Fields("", "bell\xC2\x85next")), "bell_next");
    EXPECT_EQ(CRecordName::Build("{station}", Fields("Radio...  ")), "Radio");
    EXPECT_EQ(CRecordName::Build("{station}", Fields("con")), "con_");
    EXPECT_EQ(CRecordName::Build("{station}", Fields("LPT1")), "LPT1_");
    EXPECT_EQ(CRecordName::Build("{station}", Fields("COMMUNITY")), "COMMUNITY");
    EXPECT_EQ(CRecordName::Build("{station}", Fields("..")), "20261209180005");
    EXPECT_EQ(CRecordName::Build("{station}", Fields("bad\xFF")), "20261209180005");

    std::string strLong;
    for (int n = 0; n < 100; ++n) {
        strLong += "\xE5\xB1\x80";  // three bytes each
    }
    const std::string strName = CRecordName::Build("{memo}", Fields("", strLong));
    EXPECT_LE(strName.size(), CRecordName::kMaxNameBytes);
    EXPECT_EQ(strName.size() % 3, 0u);  // whole characters only
}

TEST(RecordNameTest, ARecordingNeverTakesTheNameOfAFileThatIsThere) {
    CTempDir dir;
    EXPECT_EQ(CRecordName::Unused(dir.Path().string(), "news", "wav"), dir.File("news.wav"));
    std::ofstream(dir.File("news.wav")) << "kept";
    EXPECT_EQ(CRecordName::Unused(dir.Path().string(), "news", "wav"), dir.File("news (2).wav"));
    std::ofstream(dir.File("news (2).wav")) << "kept";
    EXPECT_EQ(CRecordName::Unused(dir.Path().string() + "/", "news", "wav"),
              dir.File("news (3).wav"));
    EXPECT_EQ(CRecordName::Unused(dir.Path().string(), "news", "mp3"), dir.File("news.mp3"));
}

}  // namespace
