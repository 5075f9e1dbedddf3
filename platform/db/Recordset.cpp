#include "platform/db/Recordset.h"

#include <cstdio>

#include "platform/db/DBException.h"
#include "platform/db/SqlText.h"
#include "platform/trace/Trace.h"

CRecordset::CRecordset(CDbDriver& driver) : m_driver(driver) {}

CRecordset::~CRecordset() = default;

bool CRecordset::Open(const std::string& strSQL) {
    Close();
    m_fields = DescribeFields();
    m_strKeyColumn.clear();
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].m_kind == CFieldExchange::EKind::Key) {
            m_strKeyColumn = m_fields[i].m_strColumn;
            m_nKeyIndex = i;
            break;
        }
    }

    const std::string sql = strSQL.empty() ? GetDefaultSQL() : strSQL;
    if (CSqlText::IsSelect(sql)) {
        m_strSQL = CSqlText::Unbracket(sql);
        m_strTable = CSqlText::TableOf(sql);
    } else {
        m_strTable = CSqlText::Unbracket(sql);
        m_strSQL = "SELECT ";
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            m_strSQL += (i ? ", " : "") + m_fields[i].m_strColumn;
        }
        m_strSQL += " FROM " + m_strTable;
    }

    try {
        m_pConnection = m_driver.Connect(GetDefaultConnect());
    } catch (const CDBException& e) {
        m_strLastError = e.ErrorText();
    }
    if (m_pConnection && Run(true)) {
        return true;
    }
    m_pConnection.reset();
    // The caller shows only that the table could not be opened; the reason
    // belongs on the standard error of whoever set the data source up.
    std::fprintf(stderr, "Kestrel: cannot open the %s table: %s\n", m_strTable.c_str(),
                 m_strLastError.c_str());
    return false;
}

void CRecordset::Close() {
    m_pConnection.reset();
    m_rows.clear();
    m_nCurrent = 0;
    m_bCurrentDeleted = false;
    m_bAdding = false;
}

bool CRecordset::Requery() {
    return Run(false);
}

void CRecordset::MoveNext() {
    if (m_bCurrentDeleted) {
        m_bCurrentDeleted = false;  // the next row has moved into the deleted one's place
    } else if (m_nCurrent < m_rows.size()) {
        ++m_nCurrent;
    } else {
        return;
    }
    if (m_nCurrent < m_rows.size()) {
        Load();
    }
}

void CRecordset::MoveLast() {
    if (m_rows.empty()) {
        return;
    }
    m_nCurrent = m_rows.size() - 1;
    m_bCurrentDeleted = false;
    Load();
}

void CRecordset::AddNew() {
    Connection();
    CFieldExchange fx(CFieldExchange::EOperation::Reset);
    DoFieldExchange(fx);
    m_bAdding = true;
}

bool CRecordset::Update() {
    CDbConnection& connection = Connection();
    if (!m_bAdding) {
        throw CDBException("Update without AddNew on the " + m_strTable + " table");
    }
    CFieldExchange fx(CFieldExchange::EOperation::Collect);
    DoFieldExchange(fx);
    if (fx.m_assigned.empty()) {
        m_bAdding = false;
        return false;
    }

    std::string strColumns;
    std::string strMarks;
    std::vector<CDbValue> values;
    for (auto& [strColumn, value] : fx.m_assigned) {
        strColumns += (values.empty() ? "" : ", ") + strColumn;
        strMarks += values.empty() ? "?" : ", ?";
        values.push_back(std::move(value));
    }
    const std::string strInsert =
        "INSERT INTO " + m_strTable + " (" + strColumns + ") VALUES (" + strMarks + ")";

    CFieldExchange store(CFieldExchange::EOperation::StoreKey);
    if (m_strKeyColumn.empty()) {
        connection.Execute(strInsert, values);
    } else {
        store.m_nKey = connection.Insert(strInsert, values, m_strTable, m_strKeyColumn);
    }
    m_bAdding = false;
    DoFieldExchange(store);
    return true;
}

void CRecordset::Delete() {
    CDbConnection& connection = Connection();
    if (IsEOF()) {
        throw CDBException("There is no current row of the " + m_strTable + " table to delete");
    }
    if (m_strKeyColumn.empty()) {
        throw CDBException("Rows of the " + m_strTable + " table have no key to delete them by");
    }
    const CDbValue key = m_rows[m_nCurrent][m_nKeyIndex];
    connection.Execute("DELETE FROM " + m_strTable + " WHERE " + m_strKeyColumn + " = ?", {key});
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(m_nCurrent));
    m_bCurrentDeleted = true;
}

std::optional<std::int64_t> CRecordset::CountWhere(const std::string& strCondition,
                                                   const std::vector<CDbValue>& params) {
    if (!m_pConnection) {
        return std::nullopt;
    }
    try {
        const SDbResult result = m_pConnection->Select(
            "SELECT COUNT(*) FROM " + m_strTable + " WHERE " + strCondition, params);
        if (!result.m_rows.empty() && !result.m_rows[0].empty()) {
            if (const auto* pn = std::get_if<std::int64_t>(&result.m_rows[0][0])) {
                return *pn;
            }
            if (const auto* pstr = std::get_if<std::string>(&result.m_rows[0][0])) {
                return std::stoll(*pstr);
            }
        }
        m_strLastError = "the data source gave no count";
    } catch (const CDBException& e) {
        m_strLastError = e.ErrorText();
    } catch (const std::logic_error&) {
        m_strLastError = "the data source gave a count that is not a number";
    }
    KestrelTrace("db", "count on %s failed: %s", m_strTable.c_str(), m_strLastError.c_str());
    return std::nullopt;
}

std::vector<CFieldExchange::SField> CRecordset::DescribeFields() {
    CFieldExchange fx(CFieldExchange::EOperation::Describe);
    DoFieldExchange(fx);
    return std::move(fx.m_fields);
}

std::string CRecordset::CheckColumns(const std::vector<std::string>& columns) const {
    // Columns are bound by position, so a table laid out in another order
    // would put every value into the wrong member.
    if (columns.size() < m_fields.size()) {
        return "the " + m_strTable + " table has " + std::to_string(columns.size()) +
               " columns; Kestrel needs " + std::to_string(m_fields.size());
    }
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        std::string strName = columns[i].substr(columns[i].rfind('.') + 1);
        if (!strName.empty() && !CSqlText::EqualNoCase(strName, m_fields[i].m_strColumn)) {
            return "column " + std::to_string(i + 1) + " of the " + m_strTable + " table is " +
                   strName + " where Kestrel needs " + m_fields[i].m_strColumn;
        }
    }
    return {};
}

std::string CRecordset::BuildSelect() const {
    std::string sql = m_strSQL;
    if (!m_strFilter.empty()) {
        sql += " WHERE " + CSqlText::Unbracket(m_strFilter);
    }
    if (!m_strSort.empty()) {
        sql += " ORDER BY " + CSqlText::Unbracket(m_strSort);
    }
    return sql;
}

bool CRecordset::Run(bool bCheckColumns) {
    m_rows.clear();
    m_nCurrent = 0;
    m_bCurrentDeleted = false;
    m_bAdding = false;
    if (!m_pConnection) {
        m_strLastError = "the " + m_strTable + " table is not open";
        return false;
    }
    SDbResult result;
    try {
        result = m_pConnection->Select(BuildSelect(), {});
    } catch (const CDBException& e) {
        m_strLastError = e.ErrorText();
        KestrelTrace("db", "query of %s failed: %s", m_strTable.c_str(), m_strLastError.c_str());
        return false;
    }
    if (bCheckColumns) {
        m_strLastError = CheckColumns(result.m_columns);
        if (!m_strLastError.empty()) {
            return false;
        }
    }
    m_rows = std::move(result.m_rows);
    if (!m_rows.empty()) {
        Load();
    }
    return true;
}

void CRecordset::Load() {
    CFieldExchange fx(CFieldExchange::EOperation::Load);
    fx.m_pRow = &m_rows[m_nCurrent];
    DoFieldExchange(fx);
}

CDbConnection& CRecordset::Connection() {
    if (!m_pConnection) {
        throw CDBException(m_strTable.empty() ? std::string("The database is not open")
                                              : "The " + m_strTable + " table is not open");
    }
    return *m_pConnection;
}
