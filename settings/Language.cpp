#include "settings/Language.h"

#include <limits>

namespace {

// Cuts after nMax characters. The file is UTF-8: a byte cut would split a
// Japanese character and leave a broken sequence at the end of a label.
void CutCharacters(std::string& text, size_t nMax) {
    size_t nCharacters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool bContinuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (bContinuation) {
            continue;
        }
        if (nCharacters == nMax) {
            text.resize(i);
            return;
        }
        ++nCharacters;
    }
}

}  // namespace

CLanguage::CLanguage(std::string path) {
    SetPath(std::move(path));
}

void CLanguage::SetPath(std::string path) {
    m_path = std::move(path);
    m_pFile = std::make_unique<CIniFile>(m_path);
}

std::string CLanguage::ReadString(std::string_view section, std::string_view key,
                                  std::string_view defaultText) const {
    if (!m_pFile) {
        return std::string(defaultText);
    }
    std::optional<std::string> value =
        m_pFile->ReadString(section, key, std::numeric_limits<size_t>::max());
    if (!value) {
        return std::string(defaultText);
    }
    CutCharacters(*value, kMaxText);
    return *value;
}

int CLanguage::ReadInt(std::string_view section, std::string_view key, int nDefault) const {
    return m_pFile ? m_pFile->ReadInt(section, key, nDefault) : nDefault;
}
