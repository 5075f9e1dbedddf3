#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/DbConnection.h"
#include "platform/db/DbDriver.h"
#include "platform/db/FieldExchange.h"

// A snapshot recordset: the rows a statement selects, copied when it runs,
// bound to the members a derived class names in DoFieldExchange by column
// position in the result. It opens its own connection to the data source of
// GetDefaultConnect().
//
// Contract (UI thread only):
// - Open() and Requery() report failure by their result and never throw; the
//   reason is in GetLastError(). A closed recordset has no rows.
// - m_strFilter and m_strSort are the WHERE and ORDER BY of every Requery()
//   and stay as they were left until someone changes them.
// - After a Requery() that found rows, the first row is current and loaded
//   into the members; MoveNext() past the last row gives IsEOF().
// - AddNew() clears the members; Update() inserts the columns whose members
//   were set (not empty, not zero) and then leaves the members describing
//   the new row, its key included. The new row joins the snapshot at the next
//   Requery(). AddNew(), Update() and Delete() throw CDBException on any
//   database error, and when the recordset is not open or there is no
//   current row to delete.
class CRecordset {
public:
    explicit CRecordset(CDbDriver& driver);
    virtual ~CRecordset();

    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    // strSQL empty: GetDefaultSQL(). A table name alone ("[Task]") selects the
    // bound columns by name; a SELECT is run as it stands and its columns must
    // be the bound ones in their order.
    bool Open(const std::string& strSQL = {});
    void Close();
    bool IsOpen() const { return m_pConnection != nullptr; }

    bool Requery();
    bool IsBOF() const { return m_rows.empty(); }
    bool IsEOF() const { return m_nCurrent >= m_rows.size() || m_bCurrentDeleted; }
    void MoveNext();
    void MoveLast();

    bool CanAppend() const { return IsOpen() && !m_strTable.empty(); }
    void AddNew();
    // False when no member was set (nothing is inserted then).
    bool Update();
    // Deletes the current row from the table; the snapshot then has no
    // current row until MoveNext() or Requery().
    void Delete();

    const std::string& GetLastError() const { return m_strLastError; }

    virtual std::string GetDefaultConnect() const = 0;
    virtual std::string GetDefaultSQL() const = 0;
    virtual void DoFieldExchange(CFieldExchange& fx) = 0;

    std::string m_strFilter;
    std::string m_strSort;

protected:
    // Rows of this recordset's table that meet strCondition, counted by the
    // data source; nullopt when the recordset is closed or the count failed.
    std::optional<std::int64_t> CountWhere(const std::string& strCondition,
                                           const std::vector<CDbValue>& params);

private:
    std::vector<CFieldExchange::SField> DescribeFields();
    std::string CheckColumns(const std::vector<std::string>& columns) const;
    std::string BuildSelect() const;
    bool Run(bool bCheckColumns);
    void Load();
    CDbConnection& Connection();

    CDbDriver& m_driver;
    std::unique_ptr<CDbConnection> m_pConnection;
    std::vector<CFieldExchange::SField> m_fields;
    std::string m_strSQL;
    std::string m_strTable;
    std::string m_strKeyColumn;
    std::size_t m_nKeyIndex = 0;
    std::vector<std::vector<CDbValue>> m_rows;
    std::size_t m_nCurrent = 0;
    bool m_bCurrentDeleted = false;
    bool m_bAdding = false;
    std::string m_strLastError;
};
