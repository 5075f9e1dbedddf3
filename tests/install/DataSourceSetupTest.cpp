#include "platform/db/DataSourceSetup.h"

#include <gtest/gtest.h>
#include <odbcinst.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/DBException.h"
#include "platform/db/OdbcDriver.h"
#include "tests/support/TempDir.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Contains(const std::vector<std::string>& lines, const std::string& strPart) {
    for (const std::string& line : lines) {
        if (line.find(strPart) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// A first start in a home of the test's own: its odbc.ini and its data
// folder, and a system folder with the SQLite3 driver registered (as
// libsqliteodbc does). unixODBC takes the system folder once per process, so
// all tests share one.
class DataSourceSetupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pSystem = new CTempDir;
        std::ofstream(s_pSystem->File("odbcinst.ini"))
            << "[SQLite3]\nDriver=" << KESTREL_SQLITE_ODBC_DRIVER << "\n";
    }
    static void TearDownTestSuite() {
        delete s_pSystem;
        s_pSystem = nullptr;
    }
    void SetUp() override {
        std::filesystem::remove(SystemFolder() / "odbc.ini");
        Set("ODBCINI", UserIni().string());
        Set("ODBCSYSINI", SystemFolder().string());
        Set("HOME", m_home.Path().string());
        Set("XDG_DATA_HOME", (m_home.Path() / "data").string());
        // unixODBC keeps what it read under the bare file name for 20
        // seconds; a write through its installer drops that.
        SQLWritePrivateProfileString("Scratch", "Key", "Value", m_home.File("scratch.ini").c_str());
    }
    void TearDown() override {
        for (const auto& [strName, oldValue] : m_old) {
            oldValue ? setenv(strName.c_str(), oldValue->c_str(), 1) : unsetenv(strName.c_str());
        }
    }
    void Set(const char* pName, const std::string& strValue) {
        const char* pOld = std::getenv(pName);
        m_old.emplace_back(pName, pOld ? std::optional<std::string>(pOld) : std::nullopt);
        setenv(pName, strValue.c_str(), 1);
    }
    // An entry written the way a user's tools write one.
    static void Register(const std::filesystem::path& ini, const char* pName,
                         const std::vector<std::pair<const char*, std::string>>& attributes) {
        for (const auto& [pKey, strValue] : attributes) {
            ASSERT_TRUE(SQLWritePrivateProfileString(pName, pKey, strValue.c_str(), ini.c_str()));
        }
    }
    bool HasTable(const std::string& strTable) {
        try {
            m_driver.Connect("ODBC;DSN=KestrelRadio")
                ->Select("SELECT COUNT(*) FROM " + strTable, {});
            return true;
        } catch (const CDBException&) {
            return false;
        }
    }

    std::filesystem::path UserIni() const { return m_home.Path() / "odbc.ini"; }
    static std::filesystem::path SystemFolder() { return s_pSystem->Path(); }
    std::filesystem::path Database() const {
        return m_home.Path() / "data" / "Kestrel" / "KestrelRadio.db";
    }

    static CTempDir* s_pSystem;
    CTempDir m_home;
    COdbcDriver m_driver;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_old;
};

CTempDir* DataSourceSetupTest::s_pSystem = nullptr;

TEST_F(DataSourceSetupTest, AFirstStartRegistersTheDataSourceAndMakesItsTablesOnce) {
    EXPECT_EQ(CDataSourceSetup::UserIniFile(), UserIni());
    EXPECT_EQ(CDataSourceSetup::DefaultDatabase(), Database());
    CDataSourceSetup setup(m_driver);
    const CStatus status = setup.Run();
    ASSERT_TRUE(status) << status.Message();
    EXPECT_EQ(setup.Done().size(), 3u);
    EXPECT_TRUE(Contains(setup.Done(),
                         "Registered the ODBC data source KestrelRadio in " + UserIni().string()));
    EXPECT_TRUE(Contains(setup.Done(), "Created the table Task"));
    EXPECT_TRUE(Contains(setup.Done(), "Created the table FileList"));

    const std::string strIni = ReadAll(UserIni());
    EXPECT_NE(strIni.find("[KestrelRadio]"), std::string::npos);
    EXPECT_NE(strIni.find("Driver=SQLite3"), std::string::npos);
    EXPECT_NE(strIni.find("Database=" + Database().string()), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(Database()));
    EXPECT_TRUE(HasTable("Task"));
    EXPECT_TRUE(HasTable("FileList"));

    // The next start finds everything there and changes nothing.
    const std::string strDatabase = ReadAll(Database());
    CDataSourceSetup again(m_driver);
    const CStatus second = again.Run();
    ASSERT_TRUE(second) << second.Message();
    EXPECT_TRUE(again.Done().empty());
    EXPECT_EQ(ReadAll(UserIni()), strIni);
    EXPECT_EQ(ReadAll(Database()), strDatabase);
}

TEST_F(DataSourceSetupTest, AnExistingDataSourceAndItsTablesAreLeftAsTheyAre) {
    const std::string strOwn = m_home.File("own.db");
    Register(UserIni(), "Other", {{"Driver", "SQLite3"}, {"Database", "/nowhere.db"}});
    Register(UserIni(), "kestrelradio", {{"Driver", "SQLite3"}, {"Database", strOwn}});
    m_driver.Connect("KestrelRadio")
        ->Execute("CREATE TABLE Task (ID INTEGER PRIMARY KEY, Memo VARCHAR(255), Extra INTEGER)",
                  {});
    m_driver.Connect("KestrelRadio")->Execute("INSERT INTO Task (Memo) VALUES ('kept')", {});
    const std::string strIni = ReadAll(UserIni());

    CDataSourceSetup setup(m_driver);
    const CStatus status = setup.Run();
    ASSERT_TRUE(status) << status.Message();
    EXPECT_EQ(setup.Done(),
              (std::vector<std::string>{"Created the table FileList in KestrelRadio."}));
    EXPECT_EQ(ReadAll(UserIni()), strIni);
    EXPECT_FALSE(std::filesystem::exists(Database()));
    const SDbResult rows = m_driver.Connect("KestrelRadio")->Select("SELECT * FROM Task", {});
    EXPECT_EQ(rows.m_columns.size(), 3u);
    EXPECT_EQ(rows.m_rows.size(), 1u);
}

TEST_F(DataSourceSetupTest, TheSystemsDataSourceCountsAsThere) {
    Register(SystemFolder() / "odbc.ini", "KestrelRadio",
             {{"Driver", "SQLite3"}, {"Database", m_home.File("system.db")}});
    CDataSourceSetup setup(m_driver);
    const CStatus status = setup.Run();
    ASSERT_TRUE(status) << status.Message();
    // unixODBC itself may leave an empty odbc.ini for the user.
    EXPECT_EQ(ReadAll(UserIni()).find("KestrelRadio"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(m_home.File("system.db")));
    EXPECT_EQ(setup.Done().size(), 2u);  // its two tables
    std::filesystem::remove(SystemFolder() / "odbc.ini");
}

TEST_F(DataSourceSetupTest, ADataSourceOfAnotherDatabaseIsLeftToItsOwner) {
    Register(UserIni(), "KestrelRadio", {{"Driver", "MariaDB Unicode"}, {"Server", "db"}});
    CDataSourceSetup setup(m_driver);
    const CStatus status = setup.Run();
    ASSERT_TRUE(status) << status.Message();
    ASSERT_EQ(setup.Done().size(), 1u);
    EXPECT_NE(setup.Done()[0].find("MariaDB Unicode"), std::string::npos);
    EXPECT_NE(setup.Done()[0].find("Task and FileList"), std::string::npos);

    EXPECT_EQ(CDataSourceSetup::DialectOf("SQLite3"), CDbSchema::EDialect::SQLite);
    EXPECT_EQ(CDataSourceSetup::DialectOf("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so"),
              CDbSchema::EDialect::SQLite);
    EXPECT_EQ(CDataSourceSetup::DialectOf("PostgreSQL Unicode"), CDbSchema::EDialect::PostgreSQL);
    EXPECT_EQ(CDataSourceSetup::DialectOf("psqlodbcw.so"), CDbSchema::EDialect::PostgreSQL);
    EXPECT_EQ(CDataSourceSetup::DialectOf("MariaDB Unicode"), std::nullopt);
}

TEST_F(DataSourceSetupTest, AFolderThatCannotBeMadeIsSaidAndNothingIsRegistered) {
    std::ofstream(m_home.File("file")) << "in the way";
    Set("XDG_DATA_HOME", m_home.File("file"));
    CDataSourceSetup setup(m_driver);
    const CStatus status = setup.Run();
    EXPECT_FALSE(status);
    EXPECT_NE(status.Message().find("Cannot make the folder " + m_home.File("file") + "/Kestrel"),
              std::string::npos)
        << status.Message();
    EXPECT_FALSE(std::filesystem::exists(UserIni()));
}

// unixODBC's installer writes the file anew without its comments: the user's
// file as it was is kept beside it.
TEST_F(DataSourceSetupTest, TheUsersCommentsAreKeptInACopy) {
    const std::string strMine =
        "; my data sources\n[Mine]\nDriver=SQLite3\n# the old one\nDatabase = /srv/mine.db\n";
    std::ofstream(UserIni()) << strMine;
    CDataSourceSetup setup(m_driver);
    const CStatus status = setup.Run();
    ASSERT_TRUE(status) << status.Message();
    const std::filesystem::path copy = UserIni().string() + ".before-kestrel";
    EXPECT_EQ(ReadAll(copy), strMine);
    EXPECT_TRUE(Contains(setup.Done(), copy.string()));
    const std::string strIni = ReadAll(UserIni());
    EXPECT_NE(strIni.find("[Mine]"), std::string::npos);
    EXPECT_NE(strIni.find("/srv/mine.db"), std::string::npos);
    EXPECT_NE(strIni.find("[KestrelRadio]"), std::string::npos);
}

}  // namespace
