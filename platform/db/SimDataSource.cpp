#include "platform/db/SimDataSource.h"

#include <cstdlib>

#include <odbcinst.h>

#include "platform/db/DBException.h"

namespace {

std::optional<std::string> Environment(const char* szName) {
    const char* szValue = std::getenv(szName);
    return szValue ? std::optional<std::string>(szValue) : std::nullopt;
}

void Restore(const char* szName, const std::optional<std::string>& strValue) {
    if (strValue) {
        setenv(szName, strValue->c_str(), 1);
    } else {
        unsetenv(szName);
    }
}

}  // namespace

CSimDataSource::CSimDataSource(const std::filesystem::path& folder)
    : CSimDataSource(folder, SServer{KESTREL_SQLITE_ODBC_DRIVER,
                                     {{"Database", (folder / "KestrelRadio.db").string()},
                                      {"Timeout", "5000"}},
                                     CDbSchema::EDialect::SQLite}) {}

CSimDataSource::CSimDataSource(const std::filesystem::path& folder, const SServer& server)
    : m_dialect(server.m_dialect),
      m_strOldOdbcIni(Environment("ODBCINI")),
      m_strOldOdbcSysIni(Environment("ODBCSYSINI")) {
    try {
        Register(folder, server);
        m_pConnection = m_driver.Connect(kName);
        LayOutTables();
    } catch (...) {
        m_pConnection.reset();
        Restore("ODBCINI", m_strOldOdbcIni);
        Restore("ODBCSYSINI", m_strOldOdbcSysIni);
        throw;
    }
}

CSimDataSource::~CSimDataSource() {
    m_pConnection.reset();
    Restore("ODBCINI", m_strOldOdbcIni);
    Restore("ODBCSYSINI", m_strOldOdbcSysIni);
}

void CSimDataSource::Register(const std::filesystem::path& folder, const SServer& server) {
    // unixODBC reads ODBCSYSINI once a process: a driver registered in this
    // folder's odbcinst.ini would be looked for in the first instance's
    // folder, long gone. The data source names its driver library instead.
    setenv("ODBCINI", (folder / "odbc.ini").c_str(), 1);
    setenv("ODBCSYSINI", folder.c_str(), 1);

    // Written through the installer, which also drops what unixODBC keeps of
    // odbc.ini (under that bare name, for 20 seconds): read from the cache, a
    // data source made a moment ago would still point at the last database.
    std::vector<std::pair<std::string, std::string>> attributes = {
        {"Driver", server.m_strDriverLibrary}};
    attributes.insert(attributes.end(), server.m_attributes.begin(), server.m_attributes.end());
    SQLSetConfigMode(ODBC_USER_DSN);
    bool bWritten = true;
    for (const auto& [strKey, strValue] : attributes) {
        bWritten = bWritten && SQLWritePrivateProfileString(kName, strKey.c_str(), strValue.c_str(),
                                                            "odbc.ini");
    }
    SQLSetConfigMode(ODBC_BOTH_DSN);
    if (!bWritten) {
        throw CDBException("cannot register the data source in " + (folder / "odbc.ini").string());
    }
}

void CSimDataSource::LayOutTables() {
    std::vector<std::string> statements = {"DROP TABLE IF EXISTS Task",
                                           "DROP TABLE IF EXISTS FileList"};
    for (const auto& strCreate : CDbSchema::CreateTask(m_dialect)) {
        statements.push_back(strCreate);
    }
    for (const auto& strCreate : CDbSchema::CreateFileList(m_dialect)) {
        statements.push_back(strCreate);
    }
    for (const auto& strStatement : statements) {
        Execute(strStatement);
    }
}

SDbResult CSimDataSource::Query(const std::string& strSQL, const std::vector<CDbValue>& params) {
    return m_pConnection->Select(strSQL, params);
}

void CSimDataSource::Execute(const std::string& strSQL, const std::vector<CDbValue>& params) {
    m_pConnection->Execute(strSQL, params);
}

std::int64_t CSimDataSource::CountRows(const std::string& strTable) {
    const SDbResult result = Query("SELECT COUNT(*) FROM " + strTable);
    return std::get<std::int64_t>(result.m_rows.at(0).at(0));
}
