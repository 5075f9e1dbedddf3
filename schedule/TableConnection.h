#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/Status.h"
#include "platform/db/DbValue.h"

class CDbConnection;
class CDbDriver;

// The connection of a table Kestrel keeps beside Task and FileList (whose
// layouts stay as they are): made on first use, with its tables created when
// they are missing. Every failure is traced under the owner's tag and told
// in the status; none throws.
//
// UI thread only.
class CTableConnection {
public:
    using SStatement = std::pair<std::string, std::vector<CDbValue>>;

    CTableConnection(CDbDriver& driver, std::string strConnect,
                     std::vector<std::string> createStatements, const char* pTag);
    ~CTableConnection();

    CTableConnection(const CTableConnection&) = delete;
    CTableConnection& operator=(const CTableConnection&) = delete;

    CStatus Open();
    bool IsOpen() const { return m_pConnection != nullptr; }
    // The statements in order; the first that fails ends the run. strWhat
    // names the work for the trace ("record the rule of task 3").
    CStatus Execute(const std::string& strWhat, const std::vector<SStatement>& statements);
    std::optional<SDbResult> Select(const std::string& strWhat, const std::string& strSql,
                                    const std::vector<CDbValue>& params = {});

    // A column's value as a number (a text of digits too; 0 for anything
    // else) and as text (empty for anything but text).
    static std::int64_t Integer(const CDbValue& value);
    static std::string Text(const CDbValue& value);

private:
    CStatus Fail(const std::string& strWhat, const std::string& strError) const;

    CDbDriver& m_driver;
    std::string m_strConnect;
    std::vector<std::string> m_createStatements;
    const char* m_pTag;
    std::unique_ptr<CDbConnection> m_pConnection;
};
