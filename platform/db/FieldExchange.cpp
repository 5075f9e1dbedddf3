#include "platform/db/FieldExchange.h"

#include <cstdio>
#include <cstdlib>

#include "platform/db/DBException.h"
#include "platform/db/SqlText.h"
#include "platform/text/Utf8Text.h"

namespace {

const CDbValue kNull;

std::int64_t ToInteger(const CDbValue& value) {
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        return *pn;
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return std::strtoll(pstr->c_str(), nullptr, 10);
    }
    if (const auto* pTime = std::get_if<SDbTime>(&value)) {
        return pTime->m_time;
    }
    return 0;
}

std::time_t ToTime(const CDbValue& value) {
    if (const auto* pTime = std::get_if<SDbTime>(&value)) {
        return pTime->m_time;
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        // Some drivers hand a timestamp over as its text.
        std::tm tm{};
        if (std::sscanf(pstr->c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                        &tm.tm_hour, &tm.tm_min, &tm.tm_sec) < 3) {
            return 0;
        }
        tm.tm_year -= 1900;
        tm.tm_mon -= 1;
        tm.tm_isdst = -1;
        return std::mktime(&tm);
    }
    return 0;
}

std::string ToText(const CDbValue& value) {
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return *pstr;
    }
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*pn);
    }
    if (const auto* pTime = std::get_if<SDbTime>(&value)) {
        std::tm tm{};
        localtime_r(&pTime->m_time, &tm);
        char sz[32];
        std::strftime(sz, sizeof sz, "%Y-%m-%d %H:%M:%S", &tm);
        return sz;
    }
    return {};
}

}  // namespace

const CDbValue& CFieldExchange::Next() {
    if (!m_pRow || m_nIndex >= m_pRow->size()) {
        return kNull;
    }
    return (*m_pRow)[m_nIndex];
}

void CFieldExchange::Integer(const char* szColumn, EKind kind, std::int32_t& nValue) {
    switch (m_operation) {
        case EOperation::Describe:
            m_fields.push_back({CSqlText::Unbracket(szColumn), kind, 0});
            break;
        case EOperation::Load:
            nValue = static_cast<std::int32_t>(ToInteger(Next()));
            break;
        case EOperation::Reset:
            nValue = 0;
            break;
        case EOperation::Collect:
            if (kind != EKind::Key && nValue != 0) {
                m_assigned.emplace_back(CSqlText::Unbracket(szColumn), std::int64_t{nValue});
            }
            break;
        case EOperation::StoreKey:
            if (kind == EKind::Key) {
                nValue = static_cast<std::int32_t>(m_nKey);
            }
            break;
    }
    ++m_nIndex;
}

void CFieldExchange::Key(const char* szColumn, std::int32_t& nValue) {
    Integer(szColumn, EKind::Key, nValue);
}

void CFieldExchange::Long(const char* szColumn, std::int32_t& nValue) {
    Integer(szColumn, EKind::Long, nValue);
}

void CFieldExchange::Date(const char* szColumn, std::time_t& value) {
    switch (m_operation) {
        case EOperation::Describe:
            m_fields.push_back({CSqlText::Unbracket(szColumn), EKind::Date, 0});
            break;
        case EOperation::Load:
            value = ToTime(Next());
            break;
        case EOperation::Reset:
            value = 0;
            break;
        case EOperation::Collect:
            if (value != 0) {
                m_assigned.emplace_back(CSqlText::Unbracket(szColumn), SDbTime{value});
            }
            break;
        case EOperation::StoreKey:
            break;
    }
    ++m_nIndex;
}

void CFieldExchange::Text(const char* szColumn, std::string& strValue, std::size_t nMaxLength) {
    switch (m_operation) {
        case EOperation::Describe:
            m_fields.push_back({CSqlText::Unbracket(szColumn), EKind::Text, nMaxLength});
            break;
        case EOperation::Load:
            strValue = ToText(Next());
            break;
        case EOperation::Reset:
            strValue.clear();
            break;
        case EOperation::Collect:
            if (strValue.empty()) {
                break;
            }
            // Stored as Unicode, other bytes would come back as another text.
            if (!CUtf8Text::IsValid(strValue)) {
                throw CDBException(CSqlText::Unbracket(szColumn) +
                                   " takes UTF-8 text without NUL characters only");
            }
            if (CUtf8Text::CharacterCount(strValue) > nMaxLength) {
                throw CDBException(CSqlText::Unbracket(szColumn) + " holds at most " +
                                   std::to_string(nMaxLength) + " characters; the text given has " +
                                   std::to_string(CUtf8Text::CharacterCount(strValue)));
            }
            m_assigned.emplace_back(CSqlText::Unbracket(szColumn), strValue);
            break;
        case EOperation::StoreKey:
            break;
    }
    ++m_nIndex;
}
