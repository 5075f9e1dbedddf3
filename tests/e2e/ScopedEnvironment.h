#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Changes to this process's environment that are undone when the object
// goes: at copies the submitter's environment into a job, so what a job's
// program must see is set here while the job is submitted. Main thread only,
// while no other thread reads the environment.
class CScopedEnvironment {
public:
    CScopedEnvironment() = default;
    ~CScopedEnvironment();

    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

    void Set(const std::string& strName, const std::string& strValue);
    void Unset(const std::string& strName);

private:
    void Remember(const std::string& strName);

    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};
