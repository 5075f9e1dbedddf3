#include <string>

#include <gtest/gtest.h>

#include "platform/db/DBException.h"
#include "platform/db/Recordset.h"
#include "tests/platform/db/DbTest.h"

namespace {

// A recordset on the Task table, bound the way the program binds it.
class CProbeSet : public CRecordset {
public:
    explicit CProbeSet(CDbDriver& driver, std::string strConnect = "ODBC;DSN=KestrelRadio")
        : CRecordset(driver), m_strConnect(std::move(strConnect)) {}

    std::string GetDefaultConnect() const override { return m_strConnect; }
    std::string GetDefaultSQL() const override { return "[Task]"; }
    void DoFieldExchange(CFieldExchange& fx) override {
        fx.Key("[ID]", m_ID);
        fx.Date("[BeginTime]", m_BeginTime);
        fx.Date("[EndTime]", m_EndTime);
        fx.Text("[Channel]", m_Channel);
        fx.Text("[ChannelName]", m_ChannelName);
        fx.Text("[Memo]", m_Memo);
    }

    int Add(std::time_t begin, const std::string& strMemo) {
        AddNew();
        m_BeginTime = begin;
        m_EndTime = begin + 3600;
        m_Memo = strMemo;
        Update();
        return m_ID;
    }

    std::int32_t m_ID = 0;
    std::time_t m_BeginTime = 0;
    std::time_t m_EndTime = 0;
    std::string m_Channel;
    std::string m_ChannelName;
    std::string m_Memo;

private:
    std::string m_strConnect;
};

using RecordsetTest = CDbTest;

TEST_F(RecordsetTest, OpenFailsWithTheReasonAndAClosedSetRefusesChanges) {
    CProbeSet unknown(Driver(), "ODBC;DSN=NoSuchSource");
    EXPECT_FALSE(unknown.Open("select * from Task"));
    EXPECT_FALSE(unknown.GetLastError().empty());

    Source().Execute("DROP TABLE Task");
    CProbeSet missing(Driver());
    EXPECT_FALSE(missing.Open("select * from Task"));

    // Bound by position, a table in another column order would swap values.
    Source().Execute(
        "CREATE TABLE Task (ID INTEGER, EndTime TIMESTAMP, BeginTime TIMESTAMP, "
        "Channel VARCHAR(255), ChannelName VARCHAR(255), Memo VARCHAR(255))");
    CProbeSet reordered(Driver());
    EXPECT_FALSE(reordered.Open("select * from Task"));
    EXPECT_NE(reordered.GetLastError().find("BeginTime"), std::string::npos);

    EXPECT_FALSE(reordered.IsOpen());
    EXPECT_FALSE(reordered.Requery());
    EXPECT_TRUE(reordered.IsEOF());
    EXPECT_FALSE(reordered.CanAppend());
    EXPECT_THROW(reordered.AddNew(), CDBException);
    EXPECT_THROW(reordered.Delete(), CDBException);
}

TEST_F(RecordsetTest, WalksTheSnapshotAndDeletesTheCurrentRow) {
    CProbeSet set(Driver());
    ASSERT_TRUE(set.Open("select * from Task"));
    EXPECT_TRUE(set.IsBOF() && set.IsEOF());
    ASSERT_TRUE(set.CanAppend());

    const std::time_t nine = LocalTime(2031, 3, 4, 9, 0);
    const int nLate = set.Add(nine + 7200, "late");
    const int nEarly = set.Add(nine, "early");
    const int nMiddle = set.Add(nine + 3600, "middle");
    EXPECT_LT(nLate, nEarly);
    EXPECT_LT(nEarly, nMiddle);

    set.m_strSort = "BeginTime";
    ASSERT_TRUE(set.Requery());
    EXPECT_EQ(set.m_Memo, "early");
    EXPECT_EQ(set.m_ID, nEarly);
    EXPECT_EQ(set.m_BeginTime, nine);
    EXPECT_EQ(set.m_EndTime, nine + 3600);
    set.MoveNext();
    EXPECT_EQ(set.m_Memo, "middle");
    set.Delete();
    set.MoveNext();
    EXPECT_EQ(set.m_Memo, "late");
    set.MoveNext();
    EXPECT_TRUE(set.IsEOF());
    set.MoveNext();
    EXPECT_TRUE(set.IsEOF());

    set.MoveLast();
    EXPECT_EQ(set.m_ID, nLate);
    set.Delete();
    EXPECT_TRUE(set.IsEOF());
    EXPECT_THROW(set.Delete(), CDBException);

    ASSERT_TRUE(set.Requery());
    EXPECT_EQ(set.m_ID, nEarly);
    EXPECT_EQ(Source().CountRows("Task"), 1);
}

TEST_F(RecordsetTest, InsertWritesOnlyTheMembersThatWereSet) {
    CProbeSet set(Driver());
    ASSERT_TRUE(set.Open());
    EXPECT_THROW(set.Update(), CDBException);

    set.AddNew();
    EXPECT_FALSE(set.Update());
    EXPECT_EQ(Source().CountRows("Task"), 0);

    set.AddNew();
    set.m_Memo = std::string(256, 'm');
    EXPECT_THROW(set.Update(), CDBException);
    set.m_Memo = std::string(255, 'm');
    EXPECT_TRUE(set.Update());

    const SDbResult result = Source().Query("SELECT Channel, ChannelName, Memo FROM Task");
    ASSERT_EQ(result.m_rows.size(), 1u);
    EXPECT_EQ(result.m_rows[0][0], CDbValue{});
    EXPECT_EQ(result.m_rows[0][1], CDbValue{});
    EXPECT_EQ(result.m_rows[0][2], CDbValue{std::string(255, 'm')});
}

// A text comes back exactly as it went in, or is refused: a Latin-1 file
// name stored as replacement characters would no longer name its file.
TEST_F(RecordsetTest, TextIsStoredExactlyOrRefused) {
    CProbeSet set(Driver());
    ASSERT_TRUE(set.Open());
    for (const std::string& strBad :
         {std::string("/home/k/Aufnahmen f\xFCr Radio"), std::string("cut\0here", 8),
          std::string("\xC0\xAF"), std::string("\xED\xA0\x80")}) {
        set.AddNew();
        set.m_Memo = strBad;
        EXPECT_THROW(set.Update(), CDBException);
    }
    EXPECT_EQ(Source().CountRows("Task"), 0);

    const std::string strGood =
        "/home/k/\xE5\xBD\x95\xE9\x9F\xB3 f\xC3\xBCr Radio \xF0\x9F\x93\xBB";
    set.Add(1'178'028'189, strGood);
    const SDbResult result = Source().Query("SELECT Memo FROM Task");
    ASSERT_EQ(result.m_rows.size(), 1u);
    EXPECT_EQ(result.m_rows[0][0], CDbValue{strGood});
}

TEST_F(RecordsetTest, DatabaseErrorsReachTheCallerWithTheDriversText) {
    CProbeSet set(Driver());
    ASSERT_TRUE(set.Open("select * from Task"));
    Source().Execute("DROP TABLE Task");

    set.AddNew();
    set.m_Memo = "lost";
    try {
        set.Update();
        ADD_FAILURE() << "Update on a dropped table succeeded";
    } catch (const CDBException& e) {
        EXPECT_FALSE(e.ErrorText().empty());
    }
    EXPECT_FALSE(set.Requery());
    EXPECT_TRUE(set.IsEOF());
}

}  // namespace
