#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/Status.h"
#include "platform/db/DbSchema.h"
#include "platform/names/KestrelNames.h"

class CDbDriver;

// Makes the data source KestrelRadio ready for this user, as a first start
// needs it:
// - when no data source of that name exists (the user's odbc.ini or the
//   system's), one is registered in the user's odbc.ini through unixODBC's
//   installer: a SQLite file ${XDG_DATA_HOME:-~/.local/share}/Kestrel/
//   KestrelRadio.db reached through the SQLite3 ODBC driver;
// - then the tables Task and FileList are created where they are missing,
//   in the dialect of the entry's driver (SQLite or PostgreSQL; any other
//   driver is left to its owner).
// An existing data source or table is never changed, so a second run does
// nothing. The user's odbc.ini is found as unixODBC finds it: $ODBCINI, else
// .odbc.ini in the account's home folder.
//
// Run() reports in Done() what it did, one sentence each, and in its status
// why it stopped. UI thread (or no thread besides it): the installer's settings
// are process-wide.
class CDataSourceSetup {
public:
    static constexpr const char* kName = KestrelNames::kDataSource;

    explicit CDataSourceSetup(CDbDriver& driver);

    // Fails when the data source could not be registered or reached, or a
    // table could not be created.
    CStatus Run();

    const std::vector<std::string>& Done() const { return m_done; }

    // Where things are; public for the tests and the messages.
    static std::filesystem::path UserIniFile();
    static std::filesystem::path SystemIniFile();
    static std::filesystem::path DefaultDatabase();
    // The Driver value of the data source kName, from the user's file, else
    // the system's; nothing when neither has it.
    static std::optional<std::string> RegisteredDriver();
    // SQLite or PostgreSQL from a driver's name or library; nothing for any
    // other.
    static std::optional<CDbSchema::EDialect> DialectOf(const std::string& strDriver);

private:
    CStatus Register();
    // "SQLite3" when odbcinst.ini knows that driver, else the driver's
    // library; empty when neither is there.
    static std::string SqliteDriver();
    CStatus CreateMissingTables(CDbSchema::EDialect dialect);
    static CStatus Fail(const std::string& strError);

    CDbDriver& m_driver;
    std::vector<std::string> m_done;
};
