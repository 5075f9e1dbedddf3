#include "schedule/TableConnection.h"

#include <cstdlib>

#include "platform/db/DBException.h"
#include "platform/db/DbDriver.h"
#include "platform/trace/Trace.h"

CTableConnection::CTableConnection(CDbDriver& driver, std::string strConnect,
                                   std::vector<std::string> createStatements, const char* pTag)
    : m_driver(driver),
      m_strConnect(std::move(strConnect)),
      m_createStatements(std::move(createStatements)),
      m_pTag(pTag) {}

CTableConnection::~CTableConnection() = default;

CStatus CTableConnection::Open() {
    if (m_pConnection) {
        return CStatus::Ok();
    }
    try {
        std::unique_ptr<CDbConnection> pConnection = m_driver.Connect(m_strConnect);
        for (const std::string& strCreate : m_createStatements) {
            pConnection->Execute(strCreate, {});
        }
        m_pConnection = std::move(pConnection);
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail("open", error.ErrorText());
    }
}

CStatus CTableConnection::Execute(const std::string& strWhat,
                                  const std::vector<SStatement>& statements) {
    if (CStatus status = Open(); !status) {
        return status;
    }
    try {
        for (const auto& [strSql, params] : statements) {
            m_pConnection->Execute(strSql, params);
        }
        return CStatus::Ok();
    } catch (const CDBException& error) {
        return Fail(strWhat, error.ErrorText());
    }
}

std::optional<SDbResult> CTableConnection::Select(const std::string& strWhat,
                                                  const std::string& strSql,
                                                  const std::vector<CDbValue>& params) {
    if (!Open()) {
        return std::nullopt;
    }
    try {
        return m_pConnection->Select(strSql, params);
    } catch (const CDBException& error) {
        Fail(strWhat, error.ErrorText());
        return std::nullopt;
    }
}

CStatus CTableConnection::Fail(const std::string& strWhat, const std::string& strError) const {
    KestrelTrace(m_pTag, "%s: %s", strWhat.c_str(), strError.c_str());
    return CStatus::Failed(strError);
}

std::int64_t CTableConnection::Integer(const CDbValue& value) {
    if (const auto* pn = std::get_if<std::int64_t>(&value)) {
        return *pn;
    }
    if (const auto* pstr = std::get_if<std::string>(&value)) {
        return std::strtoll(pstr->c_str(), nullptr, 10);
    }
    return 0;
}

std::string CTableConnection::Text(const CDbValue& value) {
    const auto* pstr = std::get_if<std::string>(&value);
    return pstr ? *pstr : std::string();
}
