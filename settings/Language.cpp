#include "settings/Language.h"

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
    return m_pFile->ReadString(section, key, kMaxText).value_or(std::string(defaultText));
}

int CLanguage::ReadInt(std::string_view section, std::string_view key, int nDefault) const {
    return m_pFile ? m_pFile->ReadInt(section, key, nDefault) : nDefault;
}
