#include "schedule/DataSourceId.h"

#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>

#include "platform/db/DBException.h"
#include "platform/db/DbDriver.h"
#include "platform/names/KestrelNames.h"

namespace {

constexpr const char* kConnect = KestrelNames::kConnectString;
// A fixed key for the one row: two programs that make the id at the same
// time cannot both store theirs.
constexpr const char* kCreate =
    "CREATE TABLE IF NOT EXISTS KestrelSource (Slot INTEGER PRIMARY KEY, SourceId VARCHAR(255))";

// Ids end up in job scripts and on command lines: anything but a plain word
// is damage, not an id.
bool IsValidId(const std::string& strId) {
    if (strId.empty() || strId.size() > 64) {
        return false;
    }
    for (char c : strId) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') {
            return false;
        }
    }
    return true;
}

// The stored id; nothing when the table or its row is missing or damaged.
std::optional<std::string> ReadId(CDbConnection& connection) {
    try {
        const SDbResult result =
            connection.Select("SELECT SourceId FROM KestrelSource WHERE Slot = 1", {});
        if (!result.m_rows.empty() && !result.m_rows[0].empty()) {
            const auto* pId = std::get_if<std::string>(&result.m_rows[0][0]);
            if (pId && IsValidId(*pId)) {
                return *pId;
            }
        }
    } catch (const CDBException&) {
        // No table yet: made below.
    }
    return std::nullopt;
}

}  // namespace

// Read first: a user who may not create tables can still use an id that is
// there.
std::string CDataSourceId::Obtain(CDbDriver& driver) {
    const std::unique_ptr<CDbConnection> pConnection = driver.Connect(kConnect);
    if (std::optional<std::string> strId = ReadId(*pConnection)) {
        return *strId;
    }
    try {
        pConnection->Execute(kCreate, {});
        pConnection->Execute("INSERT INTO KestrelSource (Slot, SourceId) VALUES (1, ?)", {NewId()});
    } catch (const CDBException& error) {
        // Another copy of the program may have stored its id meanwhile.
        if (std::optional<std::string> strId = ReadId(*pConnection)) {
            return *strId;
        }
        throw CDBException("The data source's identity (table KestrelSource) cannot be stored: " +
                           error.ErrorText());
    }
    if (std::optional<std::string> strId = ReadId(*pConnection)) {
        return *strId;
    }
    throw CDBException("The data source's identity (table KestrelSource) cannot be read back");
}

std::string CDataSourceId::Switch(const std::string& strId) {
    return kSwitch + strId;
}

std::string CDataSourceId::FromArguments(const std::vector<std::string>& arguments) {
    const std::string strSwitch = kSwitch;
    for (const std::string& argument : arguments) {
        if (argument.starts_with(strSwitch)) {
            return argument.substr(strSwitch.size());
        }
    }
    return {};
}

std::string CDataSourceId::NewId() {
    std::random_device device;
    unsigned char bytes[16];
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(device());
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string strId;
    for (int i = 0; i < 16; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof(hex), "%02x", bytes[i]);
        strId += (i == 4 || i == 6 || i == 8 || i == 10) ? std::string("-") + hex : hex;
    }
    return strId;
}
