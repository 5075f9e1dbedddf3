#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "platform/db/DBException.h"
#include "schedule/TaskSet.h"
#include "tests/platform/db/DbTest.h"

namespace {

constexpr std::uint32_t kFm = 1u << 31;
constexpr std::uint32_t kMute = 1u << 23;

class TaskSetTest : public CDbTest {
protected:
    // Stores a task the way the new task dialog does and gives its identifier.
    static int AddTask(CTaskSet& tasks, std::time_t begin, std::time_t end, std::uint32_t nChannel,
                       const std::string& strMemo = {}) {
        tasks.AddNew();
        tasks.m_BeginTime = begin;
        tasks.m_EndTime = end;
        tasks.m_Channel = CTaskSet::ChannelText(nChannel);
        tasks.m_Memo = strMemo;
        tasks.Update();
        return tasks.m_ID;
    }

    std::time_t At(int nHour, int nMinute) { return LocalTime(2031, 5, 1, nHour, nMinute); }
};

TEST_F(TaskSetTest, ConflictTestRefusesEverySpanThatSharesASecond) {
    CTaskSet tasks(Driver());
    ASSERT_TRUE(tasks.Open("select * from Task"));
    EXPECT_TRUE(tasks.IsTimeFree(At(10, 0), At(11, 0)));

    AddTask(tasks, At(10, 0), At(11, 0), 1008);
    AddTask(tasks, At(20, 0), At(21, 0), 1008);
    EXPECT_FALSE(tasks.IsTimeFree(At(11, 0), At(12, 0)));  // begins as the stored one ends
    EXPECT_TRUE(tasks.IsTimeFree(At(11, 1), At(12, 0)));
    EXPECT_FALSE(tasks.IsTimeFree(At(9, 0), At(10, 0)));  // ends as the stored one begins
    EXPECT_TRUE(tasks.IsTimeFree(At(8, 0), At(9, 59)));
    EXPECT_FALSE(tasks.IsTimeFree(At(10, 15), At(10, 45)));
    EXPECT_FALSE(tasks.IsTimeFree(At(9, 0), At(12, 0)));  // encloses the stored one
    EXPECT_TRUE(tasks.IsTimeFree(At(12, 0), At(19, 59)));

    tasks.m_strFilter = "ID = 1";
    tasks.IsTimeFree(At(12, 0), At(13, 0));
    EXPECT_EQ(tasks.m_strFilter, "");
    EXPECT_EQ(tasks.m_strSort, "BeginTime");
}

TEST_F(TaskSetTest, ChannelWordIsStoredAsSignedDecimalTextAndReadsBack) {
    CTaskSet tasks(Driver());
    ASSERT_TRUE(tasks.Open("select * from Task"));
    const int nFm = AddTask(tasks, At(10, 0), At(11, 0), kFm | kMute | 10000);
    const int nAm = AddTask(tasks, At(12, 0), At(13, 0), kMute | 1008);

    const SDbResult stored = Source().Query("SELECT Channel FROM Task ORDER BY ID");
    ASSERT_EQ(stored.m_rows.size(), 2u);
    EXPECT_EQ(stored.m_rows[0][0], CDbValue{std::string("-2139085040")});
    EXPECT_EQ(stored.m_rows[1][0], CDbValue{std::string("8389616")});

    std::time_t end = 0;
    ASSERT_TRUE(tasks.GetEndTime(nFm, end));
    const std::uint32_t nWord = CTaskSet::ChannelWord(tasks.m_Channel);
    EXPECT_TRUE(nWord & kFm);
    EXPECT_TRUE(nWord & kMute);
    EXPECT_EQ(nWord & 0xFFFF, 10000u);
    ASSERT_TRUE(tasks.GetEndTime(nAm, end));
    EXPECT_EQ(CTaskSet::ChannelWord(tasks.m_Channel), kMute | 1008);
}

TEST_F(TaskSetTest, LookupAndDeleteByIdentifierLeaveTheirFilterSet) {
    CTaskSet tasks(Driver());
    ASSERT_TRUE(tasks.Open("select * from Task"));
    const int nFirst = AddTask(tasks, At(10, 0), At(11, 30), 1008, "news");
    const int nSecond = AddTask(tasks, At(14, 0), At(15, 0), 1008);

    std::time_t end = 0;
    EXPECT_FALSE(tasks.GetEndTime(nSecond + 100, end));
    ASSERT_TRUE(tasks.GetEndTime(nFirst, end));
    EXPECT_EQ(end, At(11, 30));
    EXPECT_EQ(tasks.m_Memo, "news");

    tasks.DeleteById(nSecond + 100);
    EXPECT_EQ(Source().CountRows("Task"), 2);
    tasks.DeleteById(nSecond);
    EXPECT_EQ(Source().CountRows("Task"), 1);

    // The next re-query, whoever makes it, still sees only that identifier.
    AddTask(tasks, At(16, 0), At(17, 0), 1008);
    EXPECT_EQ(tasks.m_strFilter, "ID = " + std::to_string(nSecond));
    ASSERT_TRUE(tasks.Requery());
    EXPECT_TRUE(tasks.IsEOF());
}

TEST_F(TaskSetTest, NewRowIdentifierIsThatRowsWhateverItsBeginAndNeverReused) {
    CTaskSet tasks(Driver());
    ASSERT_TRUE(tasks.Open("select * from Task"));
    AddTask(tasks, At(18, 0), At(19, 0), 1008);
    const int nLatest = AddTask(tasks, At(20, 0), At(21, 0), 1008);
    const int nEarlier = AddTask(tasks, At(8, 0), At(9, 0), 1008, "earlier");

    std::time_t end = 0;
    ASSERT_TRUE(tasks.GetEndTime(nEarlier, end));
    EXPECT_EQ(end, At(9, 0));
    EXPECT_EQ(tasks.m_Memo, "earlier");

    // A scheduled job names its task by identifier; a reused one would start
    // the wrong recording.
    tasks.DeleteById(nEarlier);
    tasks.DeleteById(nLatest);
    EXPECT_GT(AddTask(tasks, At(22, 0), At(23, 0), 1008), nEarlier);
}

TEST_F(TaskSetTest, MemoIsStoredAsTypedAndAnOverlongOneIsRefused) {
    CTaskSet tasks(Driver());
    ASSERT_TRUE(tasks.Open("select * from Task"));
    const std::string strMemo = "x'); DROP TABLE Task; -- \"Grüße\" ☃";
    const int nID = AddTask(tasks, At(10, 0), At(11, 0), 1008, strMemo);

    std::time_t end = 0;
    ASSERT_TRUE(tasks.GetEndTime(nID, end));
    EXPECT_EQ(tasks.m_Memo, strMemo);
    EXPECT_EQ(Source().CountRows("Task"), 1);

    EXPECT_THROW(AddTask(tasks, At(12, 0), At(13, 0), 1008, std::string(256, 'x')), CDBException);
    EXPECT_EQ(Source().CountRows("Task"), 1);
}

TEST_F(TaskSetTest, TableThatFailedToOpenActsEmptyAndRefusesNewRows) {
    Source().Execute("DROP TABLE Task");
    CTaskSet tasks(Driver());
    ASSERT_FALSE(tasks.Open("select * from Task"));

    std::time_t end = 0;
    EXPECT_TRUE(tasks.IsTimeFree(At(10, 0), At(11, 0)));
    EXPECT_FALSE(tasks.GetEndTime(1, end));
    tasks.DeleteById(1);
    EXPECT_FALSE(tasks.CanAppend());
    EXPECT_THROW(tasks.AddNew(), CDBException);
}

}  // namespace
