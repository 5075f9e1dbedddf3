#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/DbConnection.h"
#include "platform/db/DbSchema.h"
#include "platform/db/OdbcDriver.h"
#include "platform/names/KestrelNames.h"

// A KestrelRadio data source of its own, for tests and benchmarks: it writes
// an odbc.ini naming the driver's library into a folder, points unixODBC at
// it (ODBCINI, ODBCSYSINI) for as long as it lives, and lays out empty Task and
// FileList tables. By default the database is a SQLite file in that folder,
// reached through the SQLite3 ODBC driver; a server (PostgreSQL, say) can
// stand in by its ODBC driver and attributes, and then gets fresh tables.
//
// Driver() is the real ODBC back-end, so recordsets run the program's own
// code against it. Query(), Execute() and CountRows() let a test look into
// the tables, or damage them, behind the recordsets' backs. One at a time per
// process (the environment is process-wide); constructors and the inspection
// calls throw CDBException.
class CSimDataSource {
public:
    struct SServer {
        std::string m_strDriverLibrary;
        std::vector<std::pair<std::string, std::string>> m_attributes;
        CDbSchema::EDialect m_dialect = CDbSchema::EDialect::PostgreSQL;
    };

    static constexpr const char* kName = KestrelNames::kDataSource;

    explicit CSimDataSource(const std::filesystem::path& folder);
    CSimDataSource(const std::filesystem::path& folder, const SServer& server);
    ~CSimDataSource();

    CSimDataSource(const CSimDataSource&) = delete;
    CSimDataSource& operator=(const CSimDataSource&) = delete;

    CDbDriver& Driver() { return m_driver; }
    CDbSchema::EDialect Dialect() const { return m_dialect; }

    SDbResult Query(const std::string& strSQL, const std::vector<CDbValue>& params = {});
    void Execute(const std::string& strSQL, const std::vector<CDbValue>& params = {});
    std::int64_t CountRows(const std::string& strTable);

private:
    void Register(const std::filesystem::path& folder, const SServer& server);
    void LayOutTables();

    CDbSchema::EDialect m_dialect;
    std::optional<std::string> m_strOldOdbcIni;
    std::optional<std::string> m_strOldOdbcSysIni;
    COdbcDriver m_driver;
    std::unique_ptr<CDbConnection> m_pConnection;
};
