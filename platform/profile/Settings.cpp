#include "platform/profile/Settings.h"

#include <charconv>
#include <cmath>

#include "platform/names/KestrelNames.h"
#include "platform/profile/Profile.h"

namespace {

constexpr const char* kRadio = "SETTING";
constexpr const char* kOptions = "SET";

// A number as the whole text, within its bounds; anything else is none.
std::optional<double> Number(const std::string& strText, double dLowest, double dHighest) {
    double dValue = 0;
    const char* pEnd = strText.data() + strText.size();
    const auto [pStop, error] = std::from_chars(strText.data(), pEnd, dValue);
    if (error != std::errc() || pStop != pEnd || !std::isfinite(dValue) || dValue < dLowest ||
        dValue > dHighest) {
        return std::nullopt;
    }
    return dValue;
}

}  // namespace

unsigned CSettings::AmFrequency() const {
    return static_cast<unsigned>(m_profile.GetProfileInt(kRadio, "AM_FREQ", 520));
}

unsigned CSettings::FmFrequency() const {
    return static_cast<unsigned>(m_profile.GetProfileInt(kRadio, "FM_FREQ", 8750));
}

bool CSettings::SetFrequency(bool bFm, unsigned frequency) {
    return m_profile.WriteProfileInt(kRadio, bFm ? "FM_FREQ" : "AM_FREQ",
                                     static_cast<int>(frequency));
}

int CSettings::LastBand() const {
    return m_profile.GetProfileInt(kRadio, "LASTMODEL", 1);
}

bool CSettings::SetLastBand(int nBand) {
    return m_profile.WriteProfileInt(kRadio, "LASTMODEL", nBand);
}

int CSettings::Standard() const {
    return m_profile.GetProfileInt(kOptions, "BAND", 1);
}

int CSettings::ScanLevel() const {
    return m_profile.GetProfileInt(kOptions, "SCANLEVEL", 1);
}

int CSettings::LanguageIndex(int nDefault) const {
    return m_profile.GetProfileInt(kOptions, "LANGUAGE", nDefault);
}

bool CSettings::HasLanguage() const {
    return !m_profile.GetProfileString(kOptions, "LANGUAGE").empty();
}

std::string CSettings::DefaultRecordPath() {
    return CProfile::HomeFolder() + "/" + KestrelNames::kRecordFolder;
}

std::string CSettings::RecordPath() const {
    return m_profile.GetProfileString(kOptions, "PATH", DefaultRecordPath());
}

int CSettings::RecordType() const {
    return m_profile.GetProfileInt(kOptions, "RECOTYPE", 0);
}

std::string CSettings::NamePattern() const {
    return m_profile.GetProfileString(kOptions, "NAMEPATTERN");
}

bool CSettings::SetNamePattern(const std::string& strPattern) {
    return m_profile.WriteProfileString(kOptions, "NAMEPATTERN", strPattern);
}

int CSettings::Quality() const {
    return m_profile.GetProfileInt(kOptions, "QUALITY", 0);
}

std::string CSettings::DeviceName() const {
    return m_profile.GetProfileString(kOptions, "DeviceName");
}

std::string CSettings::PinName() const {
    return m_profile.GetProfileString(kOptions, "PinName");
}

int CSettings::PinType() const {
    return m_profile.GetProfileInt(kOptions, "PinType", KestrelNames::kPinTypeMicrophone);
}

bool CSettings::SetInput(const std::string& strDeviceName, const std::string& strPinName,
                         int nPinType) {
    bool bOk = m_profile.WriteProfileString(kOptions, "DeviceName", strDeviceName);
    bOk = m_profile.WriteProfileString(kOptions, "PinName", strPinName) && bOk;
    return m_profile.WriteProfileInt(kOptions, "PinType", nPinType) && bOk;
}

bool CSettings::SetOptions(int nStandard, int nScanLevel, int nQuality, int nRecordType,
                           const std::string& strPath, int nLanguage) {
    bool bOk = m_profile.WriteProfileInt(kOptions, "BAND", nStandard);
    bOk = m_profile.WriteProfileInt(kOptions, "SCANLEVEL", nScanLevel) && bOk;
    bOk = m_profile.WriteProfileInt(kOptions, "QUALITY", nQuality) && bOk;
    bOk = m_profile.WriteProfileInt(kOptions, "RECOTYPE", nRecordType) && bOk;
    bOk = m_profile.WriteProfileString(kOptions, "PATH", strPath) && bOk;
    return m_profile.WriteProfileInt(kOptions, "LANGUAGE", nLanguage) && bOk;
}

std::string CSettings::CopyFolder() const {
    return m_profile.GetProfileString(kOptions, "COPYPATH", "");
}

bool CSettings::SetCopyFolder(const std::string& strFolder) {
    return m_profile.WriteProfileString(kOptions, "COPYPATH", strFolder);
}

std::string CSettings::ReceiverKind() const {
    return m_profile.GetProfileString(kOptions, "RECEIVER", "");
}

std::optional<double> CSettings::SdrGain() const {
    return Number(m_profile.GetProfileString(kOptions, "SDRGAIN", ""), 0, 100);
}

double CSettings::SdrCorrection() const {
    return Number(m_profile.GetProfileString(kOptions, "SDRPPM", ""), -500, 500).value_or(0);
}

double CSettings::SdrUpconverter() const {
    return Number(m_profile.GetProfileString(kOptions, "SDRUPCONVERTER", ""), 0, 10e9).value_or(0);
}

std::string CSettings::ReceiverDevice() const {
    return m_profile.GetProfileString(kOptions, "RECEIVERDEVICE", "");
}

bool CSettings::SetReceiverDevice(const std::string& strId) {
    return m_profile.WriteProfileString(kOptions, "RECEIVERDEVICE", strId);
}
