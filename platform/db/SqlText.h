#pragma once

#include <string>
#include <string_view>

// The little SQL reading the recordset needs: bracketed names ("[ID]"), and
// which table a plain SELECT reads.
class CSqlText {
public:
    // "[Name]" becomes Name wherever it stands outside a quoted literal, so
    // that one statement suits SQLite and PostgreSQL alike (PostgreSQL has no
    // brackets, and unquoted names there match the tables as created).
    static std::string Unbracket(std::string_view strSQL);
    static bool IsSelect(std::string_view strSQL);
    // The first table after FROM, unbracketed; empty when there is none.
    static std::string TableOf(std::string_view strSQL);
    static bool EqualNoCase(std::string_view a, std::string_view b);
};
