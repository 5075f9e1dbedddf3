#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/profile/Profile.h"

// Named preset sets ("Home", "Car", ...), each the 100 slots of both bands.
// The current set is section KEYS itself, as CPresetStore reads and writes
// it, so its keys keep their meaning; the others wait in sections
// "KEYSET_<n>" of the same profile, and section PRESETSETS names them
// (CURRENT, COUNT, NAME_<n>). A profile without sets has one, "Home": the
// KEYS it holds. A switch is one write of the profile: all of it or none.
//
// No copy is kept: every call reads the profile. Any thread, as the profile.
class CPresetSets {
public:
    static constexpr const char* kDefaultName = "Home";
    static constexpr size_t kMaxNameLength = 40;
    static constexpr int kMaxSets = 20;

    explicit CPresetSets(CProfile& profile);

    std::vector<std::string> Names() const;
    std::string Current() const;
    // -1 for none; names compare without regard to ASCII case.
    int IndexOf(std::string_view name) const;

    // A new empty set, not switched to. False with the reason for a name
    // that is empty, too long, has control characters or is taken.
    bool Add(std::string_view name, std::string& strWhy);
    bool Switch(std::string_view name, std::string& strWhy);
    // Any set but the current one.
    bool Remove(std::string_view name, std::string& strWhy);

    // The name as a set may be called: blanks trimmed; empty when it cannot.
    static std::string CleanName(std::string_view name, std::string& strWhy);

private:
    int Count() const;
    int CurrentIndex() const;
    static std::string Section(int nSet);

    CProfile& m_profile;
};
