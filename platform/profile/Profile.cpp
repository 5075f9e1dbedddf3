#include "platform/profile/Profile.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Profile strings are read into 4096 characters, terminator included.
constexpr size_t kMaxProfileString = 4095;

std::string FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

CProfile::CProfile(std::string path) : m_file(std::move(path)) {}

std::string CProfile::DefaultPath() {
    if (std::string path = FromEnvironment("KESTREL_PROFILE"); !path.empty()) {
        return path;
    }
    std::string config = FromEnvironment("XDG_CONFIG_HOME");
    if (config.empty()) {
        config = HomeFolder() + "/.config";
    }
    return config + "/Kestrel/Kestrel.ini";
}

std::string CProfile::HomeFolder() {
    if (std::string home = FromEnvironment("HOME"); !home.empty()) {
        return home;
    }
    const passwd* pUser = getpwuid(getuid());
    return pUser && pUser->pw_dir ? std::string(pUser->pw_dir) : std::string();
}

int CProfile::GetProfileInt(std::string_view section, std::string_view key, int nDefault) const {
    return m_file.ReadInt(section, key, nDefault);
}

std::string CProfile::GetProfileString(std::string_view section, std::string_view key,
                                       std::string_view defaultValue) const {
    return m_file.ReadString(section, key, kMaxProfileString).value_or(std::string(defaultValue));
}

bool CProfile::WriteProfileInt(std::string_view section, std::string_view key, int value) {
    return m_file.WriteString(section, key, std::to_string(value));
}

bool CProfile::WriteProfileString(std::string_view section, std::string_view key,
                                  std::string_view value) {
    return m_file.WriteString(section, key, value);
}
