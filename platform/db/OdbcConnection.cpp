#include "platform/db/OdbcConnection.h"

#include <atomic>
#include <ctime>

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include "platform/db/DBException.h"

namespace {

std::string ErrorText(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) {
        text = error.text().trimmed();
    }
    return text.toStdString();
}

// Local calendar fields travel as a UTC-labelled QDateTime so that Qt does no
// zone arithmetic of its own; QODBC binds and reads only the fields.
QDateTime ToDateTime(std::time_t time) {
    std::tm tm{};
    localtime_r(&time, &tm);
    return QDateTime(QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                     QTime(tm.tm_hour, tm.tm_min, tm.tm_sec), Qt::UTC);
}

std::time_t ToTime(const QDate& date, const QTime& time) {
    std::tm tm{};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    tm.tm_hour = time.hour();
    tm.tm_min = time.minute();
    tm.tm_sec = time.second();
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

QVariant ToVariant(const CDbValue& value) {
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        if (*pn >= INT32_MIN && *pn <= INT32_MAX) {
            return QVariant(static_cast<int>(*pn));
        }
        return QVariant(static_cast<qlonglong>(*pn));
    }
    if (const auto* pTime = std::get_if<SDbTime>(&value)) {
        return QVariant(ToDateTime(pTime->m_time));
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return QVariant(QString::fromStdString(*pstr));
    }
    return QVariant(QMetaType::fromType<QString>());
}

CDbValue FromVariant(const QVariant& value) {
    if (value.isNull()) {
        return std::monostate{};
    }
    switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Bool:
            return std::int64_t{value.toLongLong()};
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            return SDbTime{ToTime(dt.date(), dt.time())};
        }
        case QMetaType::QDate:
            return SDbTime{ToTime(value.toDate(), QTime(0, 0))};
        case QMetaType::QByteArray:
            return value.toByteArray().toStdString();
        default:
            return value.toString().toStdString();
    }
}

}  // namespace

COdbcConnection::COdbcConnection(const std::string& strDatabaseName) {
    static std::atomic<unsigned> s_nConnections{0};
    m_strName = QStringLiteral("kestrel-db-%1").arg(++s_nConnections);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_strName);
    if (!m_db.isValid()) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_strName);
        throw CDBException(
            QCoreApplication::instance()
                ? "The Qt ODBC driver (QODBC) could not be loaded; install libqt6sql6-odbc"
                : "The Qt ODBC driver (QODBC) could not be loaded without a QCoreApplication");
    }
    m_db.setDatabaseName(QString::fromStdString(strDatabaseName));
    if (!m_db.open()) {
        const std::string strError = ErrorText(m_db.lastError());
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_strName);
        throw CDBException(strError);
    }
}

COdbcConnection::~COdbcConnection() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_strName);
}

QSqlQuery COdbcConnection::Run(const std::string& strSQL, const std::vector<CDbValue>& params) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromStdString(strSQL))) {
        throw CDBException(ErrorText(query.lastError()));
    }
    for (const CDbValue& value : params) {
        query.addBindValue(ToVariant(value));
    }
    if (!query.exec()) {
        throw CDBException(ErrorText(query.lastError()));
    }
    return query;
}

SDbResult COdbcConnection::Select(const std::string& strSQL, const std::vector<CDbValue>& params) {
    QSqlQuery query = Run(strSQL, params);
    SDbResult result;
    const QSqlRecord record = query.record();
    const int nColumns = record.count();
    for (int i = 0; i < nColumns; ++i) {
        result.m_columns.push_back(record.fieldName(i).toStdString());
    }
    while (query.next()) {
        std::vector<CDbValue>& row = result.m_rows.emplace_back();
        row.reserve(static_cast<std::size_t>(nColumns));
        for (int i = 0; i < nColumns; ++i) {
            row.push_back(FromVariant(query.value(i)));
        }
    }
    if (query.lastError().isValid()) {
        throw CDBException(ErrorText(query.lastError()));
    }
    return result;
}

std::int64_t COdbcConnection::Execute(const std::string& strSQL,
                                      const std::vector<CDbValue>& params) {
    return Run(strSQL, params).numRowsAffected();
}

std::int64_t COdbcConnection::Insert(const std::string& strSQL, const std::vector<CDbValue>& params,
                                     const std::string& strTable, const std::string& strKeyColumn) {
    QSqlQuery query = Run(strSQL, params);
    if (m_db.driver()->hasFeature(QSqlDriver::LastInsertId)) {
        const QVariant key = query.lastInsertId();
        if (key.isValid()) {
            return key.toLongLong();
        }
    }
    // QODBC knows the last key only of a few servers. SQLite gives the rowid
    // of the row just inserted; anything else gets the highest key, which is
    // the new row's as long as keys only grow and no one else inserts.
    const QString table = QString::fromStdString(strTable);
    const QString key = QString::fromStdString(strKeyColumn);
    std::int64_t nKey = 0;
    if (TryKey(
            QStringLiteral("SELECT %1 FROM %2 WHERE rowid = last_insert_rowid()").arg(key, table),
            nKey) ||
        TryKey(QStringLiteral("SELECT MAX(%1) FROM %2").arg(key, table), nKey)) {
        return nKey;
    }
    throw CDBException("The row was added to " + strTable + " but its " + strKeyColumn +
                       " could not be read back");
}

bool COdbcConnection::TryKey(const QString& sql, std::int64_t& nKey) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(sql) || !query.next() || query.value(0).isNull()) {
        return false;
    }
    nKey = query.value(0).toLongLong();
    return true;
}
