#include "tests/e2e/ScopedEnvironment.h"

#include <cstdlib>

CScopedEnvironment::~CScopedEnvironment() {
    // Backwards, so that a name changed twice gets its first value back.
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second) {
            setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            unsetenv(it->first.c_str());
        }
    }
}

void CScopedEnvironment::Remember(const std::string& strName) {
    const char* pValue = std::getenv(strName.c_str());
    m_saved.emplace_back(strName, pValue ? std::optional<std::string>(pValue) : std::nullopt);
}

void CScopedEnvironment::Set(const std::string& strName, const std::string& strValue) {
    Remember(strName);
    setenv(strName.c_str(), strValue.c_str(), 1);
}

void CScopedEnvironment::Unset(const std::string& strName) {
    Remember(strName);
    unsetenv(strName.c_str());
}
