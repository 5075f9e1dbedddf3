#pragma once

#include <memory>
#include <string>

#include "platform/db/DbConnection.h"

// Opens connections to data sources by connect string.
//
// Contract: Connect() accepts the connect string form "ODBC;DSN=<name>[;attr=value...]"
// and a bare data source name; it returns an open connection or throws
// CDBException with the driver manager's text. UI thread only.
class CDbDriver {
public:
    virtual ~CDbDriver() = default;

    virtual std::unique_ptr<CDbConnection> Connect(const std::string& strConnect) = 0;
};
