#include "sdr/RdsBitDecoder.h"

#include <optional>

#include "platform/rds/RdsBlockCode.h"

namespace {

constexpr uint32_t kMask26 = (1u << 26) - 1;
// Sync is given up when most of a window's blocks are beyond mending.
constexpr int kWindow = 50;
constexpr int kBadInWindow = 35;

// A block's place in its group.
int IndexOf(uint8_t nId) {
    switch (nId) {
        case SRdsBlock::A:
            return 0;
        case SRdsBlock::B:
            return 1;
        case SRdsBlock::C:
        case SRdsBlock::CPrime:
            return 2;
        default:
            return 3;
    }
}

// The third block is C or C' by the group's version: the one that fits as
// it came, else the one that can be mended.
std::optional<uint16_t> DecodeThird(uint32_t nBits, uint8_t& nId, bool& bCorrected) {
    for (const bool bMendable : {false, true}) {
        for (const uint8_t nThird : {uint8_t{SRdsBlock::C}, uint8_t{SRdsBlock::CPrime}}) {
            bool bMended = false;
            const std::optional<uint16_t> word = CRdsBlockCode::Decode(nBits, nThird, bMended);
            if (word && (bMendable || !bMended)) {
                nId = nThird;
                bCorrected = bMended;
                return word;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

void CRdsBitDecoder::Reset() {
    *this = CRdsBitDecoder();
}

void CRdsBitDecoder::Add(bool bBit, std::vector<SRdsBlock>& blocks) {
    m_nBits = ((m_nBits << 1) | (bBit ? 1u : 0u)) & kMask26;
    ++m_nCount;
    if (m_bSynced) {
        Take(blocks);
    } else if (m_nCount >= CRdsBlockCode::kBits) {
        Search(blocks);
    }
}

// Two offset words whose distance in blocks matches their order: a boundary.
void CRdsBitDecoder::Search(std::vector<SRdsBlock>& blocks) {
    const std::optional<uint8_t> id = CRdsBlockCode::IdOf(m_nBits);
    if (!id) {
        return;
    }
    const int nIndex = IndexOf(*id);
    const uint64_t nDistance = m_nCount - m_nLastSeenAt;
    if (m_nLastSeenIndex >= 0 && nDistance % CRdsBlockCode::kBits == 0 &&
        nDistance <= 6u * CRdsBlockCode::kBits) {
        const int nBlocks = static_cast<int>(nDistance / CRdsBlockCode::kBits);
        if ((m_nLastSeenIndex + nBlocks) % 4 == nIndex) {
            m_bSynced = true;
            m_nBitsInBlock = 0;
            m_nNextIndex = (nIndex + 1) % 4;
            m_nRecentBad = 0;
            m_nInWindow = 0;
            SRdsBlock block;
            block.nWord = static_cast<uint16_t>(m_nBits >> 10);
            block.nId = *id;
            blocks.push_back(block);
            return;
        }
    }
    m_nLastSeenAt = m_nCount;
    m_nLastSeenIndex = nIndex;
}

void CRdsBitDecoder::Take(std::vector<SRdsBlock>& blocks) {
    if (++m_nBitsInBlock < CRdsBlockCode::kBits) {
        return;
    }
    m_nBitsInBlock = 0;
    const int nIndex = m_nNextIndex;
    m_nNextIndex = (m_nNextIndex + 1) % 4;
    SRdsBlock block;
    std::optional<uint16_t> word;
    bool bCorrected = false;
    if (nIndex == 2) {
        word = DecodeThird(m_nBits, block.nId, bCorrected);
    } else {
        static constexpr uint8_t kIds[4] = {SRdsBlock::A, SRdsBlock::B, SRdsBlock::C, SRdsBlock::D};
        block.nId = kIds[nIndex];
        word = CRdsBlockCode::Decode(m_nBits, block.nId, bCorrected);
    }
    if (word) {
        block.nWord = *word;
        block.bCorrected = bCorrected;
    } else {
        block.nId = SRdsBlock::Invalid;
        block.bError = true;
        ++m_nRecentBad;
    }
    blocks.push_back(block);
    if (++m_nInWindow < kWindow) {
        return;
    }
    const bool bLost = m_nRecentBad >= kBadInWindow;
    m_nInWindow = 0;
    m_nRecentBad = 0;
    if (bLost) {
        m_bSynced = false;
        m_nLastSeenIndex = -1;
    }
}
