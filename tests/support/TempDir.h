#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the system's temporary directory, removed with
// everything in it when the object goes. Tests keep profiles, data sources and
// recordings here, never in the user's own folders.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();

    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
