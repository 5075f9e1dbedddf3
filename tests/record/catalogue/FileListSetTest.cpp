#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/db/DBException.h"
#include "record/FileListSet.h"
#include "tests/platform/db/DbTest.h"

namespace {

class FileListSetTest : public CDbTest {
protected:
    // Catalogues a recording the way the core does when it stops one.
    static int AddRecording(CFileListSet& files, std::time_t start, std::int64_t nSeconds,
                            const std::string& strFile, const std::string& strChannel) {
        files.AddNew();
        files.m_BeginTime = CFileListSet::FormatBeginTime(start);
        files.m_Duration = CFileListSet::FormatDuration(nSeconds);
        files.m_FileName = strFile;
        files.m_Channel = strChannel;
        files.Update();
        return files.m_ID;
    }

    static std::vector<std::string> List(CFileListSet& files) {
        files.m_strFilter.clear();
        files.m_strSort = "BeginTime";
        std::vector<std::string> names;
        if (!files.Requery()) {
            return names;
        }
        for (; !files.IsEOF(); files.MoveNext()) {
            names.push_back(files.m_FileName);
        }
        return names;
    }
};

TEST_F(FileListSetTest, RecordingsAreListedByStartTime) {
    CFileListSet files(Driver());
    ASSERT_TRUE(files.Open("select * from FileList"));
    const std::string strFm = CFileListSet::FormatChannel(1, 9810);
    AddRecording(files, LocalTime(2031, 5, 1, 14, 3), 60, "/r/b.wma", strFm);
    AddRecording(files, LocalTime(2029, 12, 31, 23, 59), 60, "/r/a.wma", strFm);
    AddRecording(files, LocalTime(2031, 5, 1, 9, 0), 60, "/r/c.wav",
                 CFileListSet::FormatChannel(0, 1629));

    EXPECT_EQ(List(files), (std::vector<std::string>{"/r/a.wma", "/r/c.wav", "/r/b.wma"}));
    ASSERT_TRUE(files.Requery());
    EXPECT_EQ(files.m_BeginTime, "29-12-31 23:59:00");
    EXPECT_EQ(files.m_Channel, "FM 98.10MHz");
    files.MoveNext();
    EXPECT_EQ(files.m_Channel, "AM 1629KHz");

    const SDbResult unset = Source().Query("SELECT ChannelName, Memo FROM FileList");
    EXPECT_EQ(unset.m_rows[0], (std::vector<CDbValue>{{}, {}}));
}

TEST_F(FileListSetTest, DurationCountsHoursWithinTheDay) {
    CFileListSet files(Driver());
    ASSERT_TRUE(files.Open("select * from FileList"));
    const int nID =
        AddRecording(files, LocalTime(2031, 5, 1, 0, 0), 25 * 3600, "/r/long.wma", "FM 100.00MHz");
    EXPECT_EQ(files.GetFileName(nID), "/r/long.wma");
    EXPECT_EQ(files.m_Duration, "01:00:00");
    EXPECT_EQ(CFileListSet::FormatDuration(3723), "01:02:03");
    EXPECT_EQ(CFileListSet::FormatDuration(-5), "00:00:00");
}

TEST_F(FileListSetTest, LookupAndDeleteByRowNumberLeaveTheirFilterSet) {
    CFileListSet files(Driver());
    ASSERT_TRUE(files.Open("select * from FileList"));
    const int nFirst =
        AddRecording(files, LocalTime(2031, 5, 1, 9, 0), 60, "/r/1.wma", "AM 999KHz");
    const int nSecond =
        AddRecording(files, LocalTime(2031, 5, 1, 10, 0), 60, "/r/2.wma", "AM 999KHz");

    EXPECT_EQ(files.GetFileName(nSecond + 100), "");
    EXPECT_EQ(files.GetFileName(nFirst), "/r/1.wma");
    EXPECT_EQ(files.m_strFilter, "ID = " + std::to_string(nFirst));
    ASSERT_TRUE(files.Requery());
    files.MoveNext();
    EXPECT_TRUE(files.IsEOF());

    files.DeleteById(nSecond + 100);
    EXPECT_EQ(Source().CountRows("FileList"), 2);
    files.DeleteById(nSecond);
    EXPECT_EQ(files.GetFileName(nSecond), "");
    EXPECT_EQ(List(files), std::vector<std::string>{"/r/1.wma"});
}

TEST_F(FileListSetTest, FileNameIsStoredAsTypedOrRefusedWhenItDoesNotFit) {
    CFileListSet files(Driver());
    ASSERT_TRUE(files.Open("select * from FileList"));
    const std::string strOdd = "/r/it's; DROP TABLE FileList; --.wav";
    const int nID = AddRecording(files, LocalTime(2031, 5, 1, 9, 0), 60, strOdd, "AM 999KHz");
    EXPECT_EQ(files.GetFileName(nID), strOdd);

    // A cut path would name another file; the row is refused instead.
    const std::string strLong = "/r/" + std::string(252, 'n');
    EXPECT_NE(AddRecording(files, LocalTime(2031, 5, 1, 10, 0), 60, strLong, "AM 999KHz"), 0);
    EXPECT_THROW(AddRecording(files, LocalTime(2031, 5, 1, 11, 0), 60, strLong + "x", "AM 999KHz"),
                 CDBException);
    EXPECT_EQ(Source().CountRows("FileList"), 2);
}

}  // namespace
