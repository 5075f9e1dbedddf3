#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/db/DBException.h"
#include "schedule/DataSourceId.h"
#include "tests/platform/db/DbTest.h"
#include "tests/support/TempDir.h"

namespace {

// The PostgreSQL runs share one server, whose tables outlive a test.
class DataSourceIdTest : public CDbTest {
protected:
    void SetUp() override {
        CDbTest::SetUp();
        if (!IsSkipped()) {
            Source().Execute("DROP TABLE IF EXISTS KestrelSource");
        }
    }
};

TEST_F(DataSourceIdTest, MadeOnceKeptInTheDataSourceAndNewForARecreatedOne) {
    const std::string strId = CDataSourceId::Obtain(Driver());
    EXPECT_EQ(strId.size(), 36u);
    EXPECT_EQ(CDataSourceId::Obtain(Driver()), strId);
    EXPECT_EQ(Source().CountRows("KestrelSource"), 1);

    // A database made again from nothing hands out task 1 again, but is
    // another data source.
    Source().Execute("DROP TABLE KestrelSource");
    const std::string strNewId = CDataSourceId::Obtain(Driver());
    EXPECT_NE(strNewId, strId);
    EXPECT_EQ(CDataSourceId::Obtain(Driver()), strNewId);
}

// Another copy of the program got there first: its id stands.
TEST_F(DataSourceIdTest, AnIdThatIsThereIsReadAndADamagedOneIsAnError) {
    Source().Execute(
        "CREATE TABLE KestrelSource (Slot INTEGER PRIMARY KEY, SourceId VARCHAR(255))");
    Source().Execute("INSERT INTO KestrelSource (Slot, SourceId) VALUES (1, 'made-elsewhere')");
    EXPECT_EQ(CDataSourceId::Obtain(Driver()), "made-elsewhere");

    Source().Execute("UPDATE KestrelSource SET SourceId = ?", {std::string("x'\n# y")});
    EXPECT_THROW(CDataSourceId::Obtain(Driver()), CDBException);
    EXPECT_EQ(Source().CountRows("KestrelSource"), 1);
}

}  // namespace
