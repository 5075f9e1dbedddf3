#include "platform/rds/RdsEncoder.h"

#include <algorithm>

#include "platform/rds/RdsCharset.h"

namespace {

constexpr uint16_t kNoAlternativeFrequencies = 0xE0CD;  // none, then a filler code

uint16_t Pair(const std::string& codes, size_t nAt) {
    return static_cast<uint16_t>((static_cast<uint8_t>(codes[nAt]) << 8) |
                                 static_cast<uint8_t>(codes[nAt + 1]));
}

}  // namespace

CRdsEncoder::CRdsEncoder(SStation station) : m_station(std::move(station)) {
    m_nameCodes = RdsCharset::FromUtf8(m_station.strName);
    m_nameCodes.resize(8, ' ');
    if (m_station.strText.empty()) {
        return;
    }
    m_textCodes = RdsCharset::FromUtf8(m_station.strText);
    if (m_textCodes.size() > 64) {
        m_textCodes.resize(64);
    }
    if (m_textCodes.size() < 64) {
        m_textCodes += '\r';
    }
    m_textCodes.resize((m_textCodes.size() + 3) / 4 * 4, ' ');
}

void CRdsEncoder::AddGroup(std::vector<SRdsBlock>& blocks, uint16_t nB, uint16_t nC,
                           uint16_t nD) const {
    const auto block = [](uint16_t nWord, uint8_t nId) {
        SRdsBlock b;
        b.nWord = nWord;
        b.nId = nId;
        return b;
    };
    const uint16_t nHead = static_cast<uint16_t>((m_station.nPty & 0x1F) << 5);
    blocks.push_back(block(m_station.nPi, SRdsBlock::A));
    blocks.push_back(block(static_cast<uint16_t>(nB | nHead), SRdsBlock::B));
    blocks.push_back(block(nC, SRdsBlock::C));
    blocks.push_back(block(nD, SRdsBlock::D));
}

// As broadcasters send them: a name group before every text group, so the
// name is whole within a second whatever the text's length.
std::vector<SRdsBlock> CRdsEncoder::Cycle() const {
    std::vector<SRdsBlock> blocks;
    const uint16_t nFlag = m_station.bTextFlag ? 0x10 : 0;
    const size_t nTextSegments = m_textCodes.size() / 4;
    // Whole rounds of the name's four segments.
    const size_t nRounds = std::max<size_t>(4, (nTextSegments + 3) / 4 * 4);
    for (size_t n = 0; n < nRounds; ++n) {
        const auto nName = static_cast<uint16_t>(n % 4);
        AddGroup(blocks, nName, kNoAlternativeFrequencies, Pair(m_nameCodes, nName * 2u));
        if (n < nTextSegments) {
            const auto nText = static_cast<uint16_t>(n);
            AddGroup(blocks, static_cast<uint16_t>(0x2000 | nFlag | nText),
                     Pair(m_textCodes, nText * 4u), Pair(m_textCodes, nText * 4u + 2));
        }
    }
    return blocks;
}
