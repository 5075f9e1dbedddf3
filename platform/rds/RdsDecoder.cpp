#include "platform/rds/RdsDecoder.h"

#include <algorithm>

#include "platform/rds/RdsCharset.h"
#include "platform/text/Utf8Text.h"

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;

std::string Trimmed(const std::string& text) {
    return std::string(CUtf8Text::Trim(text, " "));
}

}  // namespace

template <size_t Segments, size_t Width>
bool CRdsDecoder::SAgreedText<Segments, Width>::Take(size_t nSegment,
                                                     const std::array<uint8_t, Width>& value) {
    if (seen[nSegment] != 0 && chars[nSegment] == value) {
        seen[nSegment] = 2;
        return false;
    }
    // What the others said before a change must be said again after it.
    if (seen[nSegment] != 0) {
        for (uint8_t& nSeen : seen) {
            nSeen = std::min<uint8_t>(nSeen, 1);
        }
    }
    chars[nSegment] = value;
    seen[nSegment] = 1;
    return true;
}

void CRdsDecoder::Reset() {
    *this = CRdsDecoder();
}

void CRdsDecoder::DropGroup() {
    if (m_nExpected != 0) {
        ++m_nDropped;
    }
    m_nExpected = 0;
}

unsigned CRdsDecoder::Add(const SRdsBlock& block) {
    if (block.bError || block.nId == SRdsBlock::Invalid) {
        DropGroup();
        return 0;
    }
    if (block.nId == SRdsBlock::A) {
        DropGroup();
        m_words[0] = block.nWord;
        m_nExpected = 1;
        return 0;
    }
    // Some tuners call a C' block C: its place in the group says which.
    const bool bFits =
        (m_nExpected == 1 && block.nId == SRdsBlock::B) ||
        (m_nExpected == 2 && (block.nId == SRdsBlock::C || block.nId == SRdsBlock::CPrime)) ||
        (m_nExpected == 3 && block.nId == SRdsBlock::D);
    if (!bFits) {
        DropGroup();
        return 0;
    }
    m_words[static_cast<size_t>(m_nExpected)] = block.nWord;
    if (m_nExpected < 3) {
        ++m_nExpected;
        return 0;
    }
    m_nExpected = 0;
    return TakeGroup();
}

unsigned CRdsDecoder::TakeGroup() {
    ++m_nGroups;
    const uint16_t nPi = m_words[0];
    unsigned nChanged = TakePi(nPi);
    // Before any PI holds, the groups still count: a name needs two rounds
    // anyway, and a stray group's segments never agree.
    if (m_pi && *m_pi != nPi) {
        return nChanged;
    }
    const int nPty = (m_words[1] >> 5) & 0x1F;
    if (m_candidatePty == nPty && m_pty != nPty) {
        m_pty = nPty;
        nChanged |= kPty;
    }
    m_candidatePty = nPty;
    switch (m_words[1] >> 12) {
        case 0:
            return nChanged | TakeStationName();
        case 2:
            return nChanged | TakeRadioText();
        default:
            return nChanged;
    }
}

unsigned CRdsDecoder::TakePi(uint16_t nPi) {
    if (m_pi == nPi || m_candidatePi != nPi) {
        m_candidatePi = nPi;
        return 0;
    }
    const unsigned nChanged = (m_pi ? ClearStation() : 0) | kPi;
    m_pi = nPi;
    return nChanged;
}

unsigned CRdsDecoder::ClearStation() {
    unsigned nChanged = 0;
    if (!m_strStation.empty()) {
        nChanged |= kStation;
    }
    if (!m_strRadioText.empty()) {
        nChanged |= kRadioText;
    }
    if (m_pty) {
        nChanged |= kPty;
    }
    m_strStation.clear();
    m_strRadioText.clear();
    m_name.Clear();
    m_text.Clear();
    m_textFlag.reset();
    m_pty.reset();
    return nChanged;
}

unsigned CRdsDecoder::TakeStationName() {
    const size_t nSegment = m_words[1] & 0x03;
    m_name.Take(nSegment,
                {static_cast<uint8_t>(m_words[3] >> 8), static_cast<uint8_t>(m_words[3] & 0xFF)});
    if (!std::all_of(m_name.seen.begin(), m_name.seen.end(), [](uint8_t n) { return n == 2; })) {
        return 0;
    }
    std::string codes(8, ' ');
    for (size_t n = 0; n < codes.size(); ++n) {
        codes[n] = static_cast<char>(m_name.chars[n / 2][n % 2]);
    }
    std::string strStation = Trimmed(RdsCharset::ToUtf8(codes));
    if (strStation == m_strStation) {
        return 0;
    }
    m_strStation = std::move(strStation);
    return kStation;
}

unsigned CRdsDecoder::TakeRadioText() {
    const bool bFlag = (m_words[1] & 0x10) != 0;
    const bool bVersionB = (m_words[1] & 0x0800) != 0;
    if (m_textFlag != bFlag || m_bTextVersionB != bVersionB) {
        m_text.Clear();
        m_textFlag = bFlag;
        m_bTextVersionB = bVersionB;
    }
    const size_t nSegment = m_words[1] & 0x0F;
    const auto hi = [](uint16_t n) { return static_cast<uint8_t>(n >> 8); };
    const auto lo = [](uint16_t n) { return static_cast<uint8_t>(n & 0xFF); };
    if (bVersionB) {
        m_text.Take(nSegment, {hi(m_words[3]), lo(m_words[3]), 0, 0});
    } else {
        m_text.Take(nSegment, {hi(m_words[2]), lo(m_words[2]), hi(m_words[3]), lo(m_words[3])});
    }
    const size_t nWidth = bVersionB ? 2 : 4;
    std::string codes;
    bool bEnded = false;
    for (size_t n = 0; n < m_text.chars.size() && !bEnded; ++n) {
        if (m_text.seen[n] != 2) {
            return 0;
        }
        for (size_t c = 0; c < nWidth; ++c) {
            if (m_text.chars[n][c] == kCarriageReturn) {
                bEnded = true;
                break;
            }
            codes += static_cast<char>(m_text.chars[n][c]);
        }
    }
    std::string strText = Trimmed(RdsCharset::ToUtf8(codes));
    if (strText == m_strRadioText) {
        return 0;
    }
    m_strRadioText = std::move(strText);
    return kRadioText;
}
