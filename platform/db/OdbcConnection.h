#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include "platform/db/DbConnection.h"

// One QODBC connection under a name of its own (Qt keeps connections in a
// process-wide registry by name), removed from the registry with the object.
class COdbcConnection : public CDbConnection {
public:
    // Throws CDBException when the driver or the data source cannot be opened.
    explicit COdbcConnection(const std::string& strDatabaseName);
    ~COdbcConnection() override;

    COdbcConnection(const COdbcConnection&) = delete;
    COdbcConnection& operator=(const COdbcConnection&) = delete;

    SDbResult Select(const std::string& strSQL, const std::vector<CDbValue>& params) override;
    std::int64_t Execute(const std::string& strSQL, const std::vector<CDbValue>& params) override;
    std::int64_t Insert(const std::string& strSQL, const std::vector<CDbValue>& params,
                        const std::string& strTable, const std::string& strKeyColumn) override;

private:
    QSqlQuery Run(const std::string& strSQL, const std::vector<CDbValue>& params);
    bool TryKey(const QString& sql, std::int64_t& nKey);

    QString m_strName;
    QSqlDatabase m_db;
};
