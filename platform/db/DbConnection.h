#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/DbValue.h"

// One open connection to a data source.
//
// Contract: used only from the thread that made it (the UI thread). Values
// reach a statement only as bound parameters ('?' in its text). Each
// statement commits on its own. Every failure of the data source throws
// CDBException with the driver's text; a statement that failed changed
// nothing.
class CDbConnection {
public:
    virtual ~CDbConnection() = default;

    virtual SDbResult Select(const std::string& strSQL, const std::vector<CDbValue>& params) = 0;
    // A statement that selects nothing; the number of rows it changed.
    virtual std::int64_t Execute(const std::string& strSQL,
                                 const std::vector<CDbValue>& params) = 0;
    // Runs an INSERT of one row into strTable and returns the value the data
    // source gave that row's auto-numbered column strKeyColumn.
    virtual std::int64_t Insert(const std::string& strSQL, const std::vector<CDbValue>& params,
                                const std::string& strTable, const std::string& strKeyColumn) = 0;
};
