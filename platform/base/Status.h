#pragma once

#include <string>
#include <utility>

// The result of an operation whose failure the caller shows or logs: ok, or
// failed with the message that says why.
class CStatus {
public:
    static CStatus Ok() { return CStatus(true, {}); }
    static CStatus Failed(std::string strMessage) { return CStatus(false, std::move(strMessage)); }

    explicit operator bool() const { return m_bOk; }
    const std::string& Message() const { return m_strMessage; }

private:
    CStatus(bool bOk, std::string strMessage) : m_bOk(bOk), m_strMessage(std::move(strMessage)) {}

    bool m_bOk;
    std::string m_strMessage;
};
