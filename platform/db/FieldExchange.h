#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/DbValue.h"

// What a recordset's DoFieldExchange is given: it names every bound column,
// in the order of the table's columns, with the member that holds its value.
// The recordset runs the exchange to learn the columns, to load a row into
// the members, to clear them for a new row and to collect what an insert
// writes. Column names may be bracketed ("[ID]").
class CFieldExchange {
public:
    // The row's identifier, numbered by the data source: read, never written.
    void Key(const char* szColumn, std::int32_t& nValue);
    void Long(const char* szColumn, std::int32_t& nValue);
    void Date(const char* szColumn, std::time_t& value);
    // A text of at most nMaxLength characters; a longer one is refused on
    // insert rather than cut (a cut file name would point at another file).
    void Text(const char* szColumn, std::string& strValue, std::size_t nMaxLength = 255);

private:
    friend class CRecordset;

    enum class EOperation { Describe, Load, Reset, Collect, StoreKey };
    enum class EKind { Key, Long, Date, Text };
    struct SField {
        std::string m_strColumn;
        EKind m_kind;
        std::size_t m_nMaxLength;
    };

    explicit CFieldExchange(EOperation operation) : m_operation(operation) {}

    const CDbValue& Next();
    void Integer(const char* szColumn, EKind kind, std::int32_t& nValue);

    EOperation m_operation;
    std::size_t m_nIndex = 0;
    // Describe
    std::vector<SField> m_fields;
    // Load
    const std::vector<CDbValue>* m_pRow = nullptr;
    // Collect: the columns and values of the members a new row has set
    std::vector<std::pair<std::string, CDbValue>> m_assigned;
    // StoreKey
    std::int64_t m_nKey = 0;
};
