#pragma once

#include <stdexcept>
#include <string>

// A database error. Its text is the data source's own (or ours, when we
// refuse something before the data source sees it) and is what the user is
// shown in the message box.
class CDBException : public std::runtime_error {
public:
    explicit CDBException(const std::string& strError) : std::runtime_error(strError) {}

    std::string ErrorText() const { return what(); }
};
