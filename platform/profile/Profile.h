#pragma once

#include <string>
#include <string_view>

#include "platform/profile/IniFile.h"

// The application profile: Kestrel's settings between runs, read and written
// through four calls (integer and string, read and write). There is no cached
// copy beyond what CIniFile revalidates against the file on every call.
//
// Location: the file named by KESTREL_PROFILE, else
// $XDG_CONFIG_HOME/Kestrel/Kestrel.ini (default ~/.config/Kestrel/Kestrel.ini).
// Thread-safe: the tuner writes frequencies from the seek worker.
class CProfile {
public:
    explicit CProfile(std::string path);

    static std::string DefaultPath();
    // The user's home folder: $HOME, else the account's; empty when neither
    // is known.
    static std::string HomeFolder();

    const std::string& Path() const { return m_file.Path(); }

    int GetProfileInt(std::string_view section, std::string_view key, int nDefault) const;
    // A missing or empty value gives the default.
    std::string GetProfileString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue = {}) const;
    // A write that fails leaves the file as it was and is traced. A profile
    // that exists but cannot be read gives the defaults and is never written.
    bool WriteProfileInt(std::string_view section, std::string_view key, int value);
    bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value);
    // Many values at once: all of them, or none when the write fails.
    bool WriteProfileStrings(std::span<const CIniFile::SWrite> writes) {
        return m_file.WriteStrings(writes);
    }

private:
    CIniFile m_file;
};
