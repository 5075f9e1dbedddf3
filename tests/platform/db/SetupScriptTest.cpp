#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <odbcinst.h>

#include "platform/db/OdbcDriver.h"
#include "tests/support/TempDir.h"

namespace {

std::string ReadAll(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the set-up step with a home, data folder and odbc.ini of the test's
// own, and lets the test reach that odbc.ini's data sources meanwhile.
class SetupScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* szOld = std::getenv("ODBCINI");
        m_strOldOdbcIni = szOld ? std::optional<std::string>(szOld) : std::nullopt;
        setenv("ODBCINI", OdbcIni().c_str(), 1);
        // unixODBC keeps what it read of odbc.ini for 20 seconds under that
        // bare name, so an earlier test's data source would still answer;
        // any write through the installer drops that cache.
        SQLWritePrivateProfileString("Scratch", "Key", "Value", m_home.File("scratch.ini").c_str());
    }
    void TearDown() override {
        if (m_strOldOdbcIni) {
            setenv("ODBCINI", m_strOldOdbcIni->c_str(), 1);
        } else {
            unsetenv("ODBCINI");
        }
    }

    int RunSetup() {
        const std::string strCommand =
            "HOME='" + m_home.Path().string() + "' XDG_DATA_HOME='" + m_home.File("data") +
            "' bash '" KESTREL_SETUP_SCRIPT "' >>'" + m_home.File("setup.out") + "' 2>&1";
        return std::system(strCommand.c_str());
    }

    std::vector<std::string> Columns(const std::string& strTable) {
        COdbcDriver driver;
        return driver.Connect("ODBC;DSN=KestrelRadio")
            ->Select("SELECT * FROM " + strTable, {})
            .m_columns;
    }

    std::string OdbcIni() const { return m_home.File("odbc.ini"); }
    std::string Database() const { return m_home.File("data/Kestrel/KestrelRadio.db"); }
    const CTempDir& Home() const { return m_home; }

private:
    CTempDir m_home;
    std::optional<std::string> m_strOldOdbcIni;
};

const std::vector<std::string> kTaskColumns = {"ID",      "BeginTime",   "EndTime",
                                               "Channel", "ChannelName", "Memo"};
const std::vector<std::string> kFileListColumns = {
    "ID", "Channel", "ChannelName", "BeginTime", "Duration", "Memo", "FileName"};

TEST_F(SetupScriptTest, RegistersTheDataSourceAndCreatesTheTablesOnce) {
    ASSERT_EQ(RunSetup(), 0) << ReadAll(Home().File("setup.out"));
    EXPECT_NE(ReadAll(OdbcIni()).find("Database=" + Database()), std::string::npos);
    EXPECT_EQ(Columns("Task"), kTaskColumns);
    EXPECT_EQ(Columns("FileList"), kFileListColumns);
    EXPECT_EQ(Columns("TaskOutcome"),
              (std::vector<std::string>{"TaskID", "Outcome", "Reason", "FileName", "Duration",
                                        "EndedAt"}));

    const std::string strIni = ReadAll(OdbcIni());
    const std::string strDatabase = ReadAll(Database());
    ASSERT_EQ(RunSetup(), 0) << ReadAll(Home().File("setup.out"));
    EXPECT_EQ(ReadAll(OdbcIni()), strIni);
    EXPECT_EQ(ReadAll(Database()), strDatabase);
}

TEST_F(SetupScriptTest, LeavesAnExistingDataSourceAndItsTablesAsTheyAre) {
    const std::string strOwn = Home().File("own.db");
    {
        std::ofstream ini(OdbcIni());
        ini << "[Other]\nDriver=SQLite3\nDatabase=/nowhere.db\n\n"
            << "[KestrelRadio]\nDriver=SQLite3\nDatabase=" << strOwn << "\n";
    }
    COdbcDriver driver;
    driver.Connect("KestrelRadio")
        ->Execute(
            "CREATE TABLE Task (ID INTEGER PRIMARY KEY, BeginTime TIMESTAMP, "
            "EndTime TIMESTAMP, Channel VARCHAR(255), ChannelName VARCHAR(255), "
            "Memo VARCHAR(255), Extra INTEGER)",
            {});
    driver.Connect("KestrelRadio")->Execute("INSERT INTO Task (Memo) VALUES ('kept')", {});
    const std::string strIni = ReadAll(OdbcIni());

    ASSERT_EQ(RunSetup(), 0) << ReadAll(Home().File("setup.out"));
    EXPECT_EQ(ReadAll(OdbcIni()), strIni);
    EXPECT_FALSE(std::filesystem::exists(Database()));
    EXPECT_EQ(Columns("Task").size(), 7u);
    EXPECT_EQ(driver.Connect("KestrelRadio")->Select("SELECT Memo FROM Task", {}).m_rows.size(),
              1u);
    EXPECT_EQ(Columns("FileList"), kFileListColumns);
}

}  // namespace
