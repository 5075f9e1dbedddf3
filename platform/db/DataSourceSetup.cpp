#include "platform/db/DataSourceSetup.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>

#if KESTREL_HAVE_ODBCINST
#include <odbcinst.h>
#endif

#include "platform/db/DBException.h"
#include "platform/db/DbConnection.h"
#include "platform/db/DbDriver.h"
#include "platform/names/KestrelNames.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "data source";
constexpr const char* kConnect = KestrelNames::kConnectString;
constexpr const char* kSqliteDriverName = "SQLite3";

std::string Environment(const char* pName) {
    const char* pValue = std::getenv(pName);
    return pValue ? pValue : "";
}

std::string Lower(std::string str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return str;
}

std::filesystem::path HomeFolder() {
    if (std::string home = Environment("HOME"); !home.empty()) {
        return home;
    }
    const passwd* pUser = getpwuid(geteuid());
    return pUser && pUser->pw_dir ? std::filesystem::path(pUser->pw_dir) : std::filesystem::path();
}

bool IsFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

#if KESTREL_HAVE_ODBCINST

// Read by the file's full path: unixODBC keeps what it read under the name it
// was asked for, so the bare "odbc.ini" could answer from another file.
std::vector<std::string> Sections(const std::filesystem::path& file) {
    if (!IsFile(file)) {
        return {};
    }
    std::vector<char> buffer(1 << 16, '\0');
    const int nLength = SQLGetPrivateProfileString(
        nullptr, nullptr, "", buffer.data(), static_cast<int>(buffer.size()) - 1, file.c_str());
    std::vector<std::string> sections;
    for (size_t i = 0; nLength > 0 && i < buffer.size() && buffer[i] != '\0';) {
        std::string strName(buffer.data() + i);
        i += strName.size() + 1;
        sections.push_back(std::move(strName));
    }
    return sections;
}

std::optional<std::string> ReadValue(const std::filesystem::path& file, const char* pSection,
                                     const char* pKey, const char* pIniName = nullptr) {
    if (!pIniName && !IsFile(file)) {
        return std::nullopt;
    }
    std::array<char, 4096> buffer{};
    const int nLength = SQLGetPrivateProfileString(pSection, pKey, "", buffer.data(),
                                                   static_cast<int>(buffer.size()),
                                                   pIniName ? pIniName : file.c_str());
    if (nLength <= 0 || buffer[0] == '\0') {
        return std::nullopt;
    }
    return std::string(buffer.data());
}

std::string InstallerError() {
    DWORD nCode = 0;
    std::array<char, 512> message{};
    WORD nLength = 0;
    if (SQLInstallerError(1, &nCode, message.data(), static_cast<WORD>(message.size()), &nLength) ==
        SQL_SUCCESS) {
        return message.data();
    }
    return "unixODBC's installer gave no reason";
}

#endif

bool HasSection(const std::filesystem::path& file, std::string_view name) {
#if KESTREL_HAVE_ODBCINST
    const std::string strWanted = Lower(std::string(name));
    for (const std::string& strSection : Sections(file)) {
        if (Lower(strSection) == strWanted) {
            return true;
        }
    }
#else
    (void)file;
    (void)name;
#endif
    return false;
}

#if KESTREL_HAVE_ODBCINST
// unixODBC's installer writes the file anew and leaves out its comment
// lines: a file that has some is kept as it was beside it first.
CStatus KeepCommentedFile(const std::filesystem::path& file, std::filesystem::path& copy) {
    std::ifstream in(file);
    bool bComments = false;
    for (std::string line; !bComments && std::getline(in, line);) {
        const size_t nStart = line.find_first_not_of(" \t");
        bComments = nStart != std::string::npos && (line[nStart] == ';' || line[nStart] == '#');
    }
    if (!bComments) {
        return CStatus::Ok();
    }
    copy = file;
    copy += ".before-kestrel";
    std::error_code error;
    if (std::filesystem::exists(copy, error)) {
        return CStatus::Ok();  // the first copy is the one with the user's comments
    }
    if (!std::filesystem::copy_file(file, copy, error)) {
        return CStatus::Failed("cannot keep a copy of " + file.string() + " as " + copy.string() +
                               ": " + error.message());
    }
    return CStatus::Ok();
}
#endif

bool TableExists(CDbConnection& connection, const std::string& strTable) {
    try {
        connection.Select("SELECT COUNT(*) FROM " + strTable + " WHERE 1 = 0", {});
        return true;
    } catch (const CDBException&) {
        return false;
    }
}

}  // namespace

CDataSourceSetup::CDataSourceSetup(CDbDriver& driver) : m_driver(driver) {}

std::filesystem::path CDataSourceSetup::UserIniFile() {
    if (std::string strIni = Environment("ODBCINI"); !strIni.empty()) {
        return strIni;
    }
    // The account's home, whatever $HOME says: where unixODBC looks.
    const passwd* pUser = getpwuid(geteuid());
    const std::filesystem::path home =
        pUser && pUser->pw_dir ? std::filesystem::path(pUser->pw_dir) : HomeFolder();
    return home / ".odbc.ini";
}

std::filesystem::path CDataSourceSetup::SystemIniFile() {
    const std::string strFolder = Environment("ODBCSYSINI");
    return std::filesystem::path(strFolder.empty() ? "/etc" : strFolder) / "odbc.ini";
}

std::filesystem::path CDataSourceSetup::DefaultDatabase() {
    std::filesystem::path data = Environment("XDG_DATA_HOME");
    if (data.empty() || data.is_relative()) {
        data = HomeFolder() / ".local" / "share";
    }
    return data / "Kestrel" / "KestrelRadio.db";
}

std::optional<std::string> CDataSourceSetup::RegisteredDriver() {
#if KESTREL_HAVE_ODBCINST
    for (const std::filesystem::path& file : {UserIniFile(), SystemIniFile()}) {
        if (HasSection(file, kName)) {
            return ReadValue(file, kName, "Driver");
        }
    }
#endif
    return std::nullopt;
}

std::optional<CDbSchema::EDialect> CDataSourceSetup::DialectOf(const std::string& strDriver) {
    const std::string strLower = Lower(strDriver);
    if (strLower.find("sqlite") != std::string::npos) {
        return CDbSchema::EDialect::SQLite;
    }
    if (strLower.find("psql") != std::string::npos ||
        strLower.find("postgres") != std::string::npos) {
        return CDbSchema::EDialect::PostgreSQL;
    }
    return std::nullopt;
}

CStatus CDataSourceSetup::Run() {
    m_done.clear();
    const bool bRegistered = HasSection(UserIniFile(), kName) || HasSection(SystemIniFile(), kName);
    if (!bRegistered) {
        if (CStatus status = Register(); !status) {
            return status;
        }
    }
    const std::optional<std::string> strDriver = RegisteredDriver();
    if (!strDriver) {
        return Fail(std::string("The ODBC data source ") + kName + " names no driver (Driver=).");
    }
    const std::optional<CDbSchema::EDialect> dialect = DialectOf(*strDriver);
    if (!dialect) {
        m_done.push_back(std::string("The ODBC data source ") + kName + " uses the driver '" +
                         *strDriver + "'; make sure it has the tables Task and FileList.");
        return CStatus::Ok();
    }
    return CreateMissingTables(*dialect);
}

std::string CDataSourceSetup::SqliteDriver() {
#if KESTREL_HAVE_ODBCINST
    if (ReadValue({}, kSqliteDriverName, "Driver", "odbcinst.ini")) {
        return kSqliteDriverName;
    }
#endif
    const std::filesystem::path configured = KESTREL_SQLITE_ODBC_DRIVER;
    if (configured.is_absolute() && IsFile(configured)) {
        return configured.string();
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib", error)) {
        const std::filesystem::path library = entry.path() / "odbc" / "libsqlite3odbc.so";
        if (IsFile(library)) {
            return library.string();
        }
    }
    return IsFile("/usr/lib/odbc/libsqlite3odbc.so") ? "/usr/lib/odbc/libsqlite3odbc.so" : "";
}

CStatus CDataSourceSetup::Register() {
#if KESTREL_HAVE_ODBCINST
    const std::string strDriver = SqliteDriver();
    if (strDriver.empty()) {
        return Fail("The SQLite3 ODBC driver is missing (install the package libsqliteodbc).");
    }
    const std::filesystem::path database = DefaultDatabase();
    const std::filesystem::path ini = UserIniFile();
    std::error_code error;
    for (const std::filesystem::path& folder : {database.parent_path(), ini.parent_path()}) {
        std::filesystem::create_directories(folder, error);
        if (error) {
            return Fail("Cannot make the folder " + folder.string() + ": " + error.message());
        }
    }
    std::filesystem::path copy;
    if (const CStatus kept = KeepCommentedFile(ini, copy); !kept) {
        return Fail("Cannot register the ODBC data source: " + kept.Message());
    }
    const std::pair<const char*, std::string> attributes[] = {
        {"Description", "Kestrel recordings and schedule"},
        {"Driver", strDriver},
        {"Database", database.string()},
        {"Timeout", "5000"},
    };
    for (const auto& [pKey, strValue] : attributes) {
        if (!SQLWritePrivateProfileString(kName, pKey, strValue.c_str(), ini.c_str())) {
            return Fail(std::string("Cannot register the ODBC data source ") + kName + " in " +
                        ini.string() + ": " + InstallerError());
        }
    }
    std::string strDone = std::string("Registered the ODBC data source ") + kName + " in " +
                          ini.string() + " (" + database.string() + ").";
    if (!copy.empty()) {
        strDone += " The file as it was, with its comments, is kept as " + copy.string() + ".";
    }
    m_done.push_back(std::move(strDone));
    return CStatus::Ok();
#else
    return Fail(std::string("This build cannot register ODBC data sources (no unixODBC "
                            "installer library); register ") +
                kName + " by hand.");
#endif
}

CStatus CDataSourceSetup::CreateMissingTables(CDbSchema::EDialect dialect) {
    std::unique_ptr<CDbConnection> pConnection;
    try {
        pConnection = m_driver.Connect(kConnect);
    } catch (const CDBException& error) {
        return Fail(std::string("Cannot reach the ODBC data source ") + kName + ": " +
                    error.ErrorText());
    }
    const std::pair<const char*, std::vector<std::string>> tables[] = {
        {"Task", CDbSchema::CreateTask(dialect)},
        {"FileList", CDbSchema::CreateFileList(dialect)},
    };
    for (const auto& [pTable, statements] : tables) {
        if (TableExists(*pConnection, pTable)) {
            continue;
        }
        try {
            for (const std::string& strStatement : statements) {
                pConnection->Execute(strStatement, {});
            }
        } catch (const CDBException& error) {
            // Another copy may have made it meanwhile.
            if (!TableExists(*pConnection, pTable)) {
                return Fail(std::string("Cannot create the table ") + pTable + " in " + kName +
                            ": " + error.ErrorText());
            }
            continue;
        }
        m_done.push_back(std::string("Created the table ") + pTable + " in " + kName + ".");
    }
    return CStatus::Ok();
}

CStatus CDataSourceSetup::Fail(const std::string& strError) {
    KestrelTrace(kTag, "%s", strError.c_str());
    return CStatus::Failed(strError);
}
