#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/profile/IniFile.h"

// Reader of the language file. Read-only, by the private-profile rules; a
// value holds at most 259 characters (the 260-byte buffer of the lookups).
// Every lookup reads the file as it is now, so edits show in windows opened
// afterwards.
class CLanguage {
public:
    static constexpr size_t kMaxText = 259;

    CLanguage() = default;
    explicit CLanguage(std::string path);
    virtual ~CLanguage() = default;

    void SetPath(std::string path);
    const std::string& Path() const { return m_path; }

    // The value, or the default when the file, section or key is missing or
    // the value is empty. A longer value is cut after kMaxText characters,
    // never inside a UTF-8 sequence.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultText = {}) const;
    int ReadInt(std::string_view section, std::string_view key, int nDefault) const;

private:
    std::string m_path;
    std::unique_ptr<CIniFile> m_pFile;  // none until a path is set
};
