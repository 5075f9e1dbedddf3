#pragma once

#include <memory>
#include <string>

#include "platform/db/DbDriver.h"

// The Linux back-end: unixODBC through Qt SQL's ODBC driver (QODBC). Data
// source names are resolved by unixODBC, so ODBCINI and ODBCSYSINI choose the
// odbc.ini and odbcinst.ini it reads. Works without a QCoreApplication.
class COdbcDriver : public CDbDriver {
public:
    std::unique_ptr<CDbConnection> Connect(const std::string& strConnect) override;

    // What QODBC wants for a framework connect string: "ODBC;DSN=Name;UID=u"
    // becomes "Name;UID=u" (QODBC puts "DSN=" in front of it itself).
    static std::string DatabaseName(const std::string& strConnect);
};
