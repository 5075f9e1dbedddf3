#include "presets/PresetSets.h"

#include <algorithm>
#include <deque>

#include "presets/PresetStore.h"

namespace {

constexpr std::string_view kSets = "PRESETSETS";
constexpr std::string_view kKeys = "KEYS";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Every key a set holds: value and title of each slot of both bands.
std::vector<std::string> SetKeys() {
    std::vector<std::string> keys;
    for (int nBand : {CPresetStore::BAND_AM, CPresetStore::BAND_FM}) {
        for (int n = 0; n < CPresetStore::kSlots; ++n) {
            keys.push_back(CPresetStore::ValueKey(nBand, n));
            keys.push_back(CPresetStore::TitleKey(nBand, n));
        }
    }
    return keys;
}

// The writes that copy one section's set into another; texts keeps what
// they point to (a deque: its elements stay where they are).
void CopySet(const CProfile& profile, std::string_view from, std::string_view to,
             const std::vector<std::string>& keys, std::deque<std::string>& texts,
             std::vector<CIniFile::SWrite>& writes) {
    for (const std::string& key : keys) {
        texts.push_back(profile.GetProfileString(from, key));
    }
    const size_t nFirst = texts.size() - keys.size();
    for (size_t i = 0; i < keys.size(); ++i) {
        writes.push_back({to, keys[i], texts[nFirst + i]});
    }
}

}  // namespace

CPresetSets::CPresetSets(CProfile& profile) : m_profile(profile) {}

int CPresetSets::Count() const {
    return std::clamp(m_profile.GetProfileInt(kSets, "COUNT", 0), 0, kMaxSets);
}

int CPresetSets::CurrentIndex() const {
    const int nCount = Count();
    const int nCurrent = m_profile.GetProfileInt(kSets, "CURRENT", 0);
    return nCurrent >= 0 && nCurrent < nCount ? nCurrent : 0;
}

std::string CPresetSets::Section(int nSet) {
    return "KEYSET_" + std::to_string(nSet);
}

std::vector<std::string> CPresetSets::Names() const {
    const int nCount = Count();
    if (nCount == 0) {
        return {kDefaultName};
    }
    std::vector<std::string> names;
    for (int n = 0; n < nCount; ++n) {
        std::string name = m_profile.GetProfileString(kSets, "NAME_" + std::to_string(n));
        names.push_back(name.empty() ? "Set " + std::to_string(n + 1) : std::move(name));
    }
    return names;
}

std::string CPresetSets::Current() const {
    return Names()[static_cast<size_t>(CurrentIndex())];
}

int CPresetSets::IndexOf(std::string_view name) const {
    const std::vector<std::string> names = Names();
    for (size_t n = 0; n < names.size(); ++n) {
        if (EqualNoCase(names[n], name)) {
            return static_cast<int>(n);
        }
    }
    return -1;
}

std::string CPresetSets::CleanName(std::string_view name, std::string& strWhy) {
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) {
        name.remove_prefix(1);
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
        name.remove_suffix(1);
    }
    if (name.empty()) {
        strWhy = "a preset set needs a name";
        return {};
    }
    if (name.size() > kMaxNameLength) {
        strWhy = "a preset set's name has at most " + std::to_string(kMaxNameLength) + " bytes";
        return {};
    }
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        strWhy = "a preset set's name cannot hold control characters";
        return {};
    }
    return std::string(name);
}

bool CPresetSets::Add(std::string_view name, std::string& strWhy) {
    const std::string clean = CleanName(name, strWhy);
    if (clean.empty()) {
        return false;
    }
    if (IndexOf(clean) >= 0) {
        strWhy = "there is a preset set \"" + clean + "\" already";
        return false;
    }
    std::vector<std::string> names = Names();
    if (static_cast<int>(names.size()) >= kMaxSets) {
        strWhy = "there are " + std::to_string(kMaxSets) + " preset sets already";
        return false;
    }
    const int nNew = static_cast<int>(names.size());
    names.push_back(clean);
    // The new set's section starts empty: what an earlier removal left is gone.
    const std::vector<std::string> keys = SetKeys();
    const std::string section = Section(nNew);
    std::vector<std::string> texts = {std::to_string(names.size()), "NAME_0", names[0],
                                      "NAME_" + std::to_string(nNew)};
    std::vector<CIniFile::SWrite> writes = {
        {kSets, "COUNT", texts[0]}, {kSets, texts[1], texts[2]}, {kSets, texts[3], clean}};
    for (const std::string& key : keys) {
        writes.push_back({section, key, {}});
    }
    if (!m_profile.WriteProfileStrings(writes)) {
        strWhy = "the profile cannot be written";
        return false;
    }
    return true;
}

bool CPresetSets::Switch(std::string_view name, std::string& strWhy) {
    const int nTarget = IndexOf(name);
    if (nTarget < 0) {
        strWhy = "there is no preset set \"" + std::string(name) + "\"";
        return false;
    }
    const int nCurrent = CurrentIndex();
    if (nTarget == nCurrent) {
        return true;
    }
    const std::vector<std::string> keys = SetKeys();
    const std::string from = Section(nCurrent);
    const std::string to = Section(nTarget);
    std::deque<std::string> texts;
    std::vector<CIniFile::SWrite> writes;
    CopySet(m_profile, kKeys, from, keys, texts, writes);
    CopySet(m_profile, to, kKeys, keys, texts, writes);
    texts.push_back(std::to_string(nTarget));
    writes.push_back({kSets, "CURRENT", texts.back()});
    if (!m_profile.WriteProfileStrings(writes)) {
        strWhy = "the profile cannot be written";
        return false;
    }
    return true;
}

bool CPresetSets::Remove(std::string_view name, std::string& strWhy) {
    const int nSet = IndexOf(name);
    if (nSet < 0) {
        strWhy = "there is no preset set \"" + std::string(name) + "\"";
        return false;
    }
    const int nCurrent = CurrentIndex();
    if (nSet == nCurrent) {
        strWhy = "the preset set in use cannot be removed: switch to another first";
        return false;
    }
    // The last set moves into the gap.
    const std::vector<std::string> names = Names();
    const int nLast = static_cast<int>(names.size()) - 1;
    const std::vector<std::string> keys = SetKeys();
    std::deque<std::string> texts;
    std::vector<CIniFile::SWrite> writes;
    const std::string last = Section(nLast);
    if (nSet != nLast) {
        // The current set lives in KEYS: only its number moves.
        if (nLast != nCurrent) {
            CopySet(m_profile, last, Section(nSet), keys, texts, writes);
        }
        texts.push_back("NAME_" + std::to_string(nSet));
        writes.push_back({kSets, texts.back(), names[static_cast<size_t>(nLast)]});
    }
    texts.push_back(std::to_string(nLast));
    writes.push_back({kSets, "COUNT", texts.back()});
    texts.push_back(std::to_string(nCurrent == nLast ? nSet : nCurrent));
    writes.push_back({kSets, "CURRENT", texts.back()});
    if (!m_profile.WriteProfileStrings(writes)) {
        strWhy = "the profile cannot be written";
        return false;
    }
    return true;
}
