#include "platform/db/OdbcDriver.h"

#include "platform/db/OdbcConnection.h"
#include "platform/db/SqlText.h"

std::unique_ptr<CDbConnection> COdbcDriver::Connect(const std::string& strConnect) {
    return std::make_unique<COdbcConnection>(DatabaseName(strConnect));
}

std::string COdbcDriver::DatabaseName(const std::string& strConnect) {
    std::string str = strConnect;
    if (CSqlText::EqualNoCase(std::string_view(str).substr(0, 5), "ODBC;")) {
        str.erase(0, 5);
    }
    if (CSqlText::EqualNoCase(std::string_view(str).substr(0, 4), "DSN=")) {
        str.erase(0, 4);
    }
    return str;
}
