#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Runs a block under one messages locale (LC_ALL) with the other locale
// variables unset, and puts them back.
class CScopedLocale {
public:
    explicit CScopedLocale(const char* pLocale) {
        for (const char* pName : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* pOld = std::getenv(pName);
            m_old.emplace_back(pName, pOld ? std::optional<std::string>(pOld) : std::nullopt);
            unsetenv(pName);
        }
        setenv("LC_ALL", pLocale, 1);
    }
    ~CScopedLocale() {
        for (const auto& [strName, oldValue] : m_old) {
            oldValue ? setenv(strName.c_str(), oldValue->c_str(), 1) : unsetenv(strName.c_str());
        }
    }

    CScopedLocale(const CScopedLocale&) = delete;
    CScopedLocale& operator=(const CScopedLocale&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_old;
};
