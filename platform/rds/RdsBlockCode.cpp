#include "platform/rds/RdsBlockCode.h"

#include <array>

namespace {

constexpr uint32_t kGenerator = 0x5B9;  // x^10 + x^8 + x^7 + x^5 + x^4 + x^3 + 1
constexpr uint32_t kMask26 = (1u << 26) - 1;
constexpr int kLongestBurst = 5;

// Offset words A, B, C, D (SRdsBlock's numbering puts D before C').
constexpr std::array<uint16_t, 5> kOffsets = {0x0FC, 0x198, 0x168, 0x1B4, 0x350};

constexpr uint16_t RemainderOf(uint32_t nBits) {
    uint32_t nValue = nBits & kMask26;
    for (int nBit = 25; nBit >= 10; --nBit) {
        if (nValue & (1u << nBit)) {
            nValue ^= kGenerator << (nBit - 10);
        }
    }
    return static_cast<uint16_t>(nValue);
}

// For each syndrome, the burst of at most five bits that gives it (0: none).
// The code is built to tell every such burst apart.
struct SBursts {
    std::array<uint32_t, 1024> patterns{};
    constexpr SBursts() {
        for (int nLength = 1; nLength <= kLongestBurst; ++nLength) {
            const uint32_t nInner = nLength > 2 ? 1u << (nLength - 2) : 1;
            for (uint32_t nMiddle = 0; nMiddle < nInner; ++nMiddle) {
                const uint32_t nShape =
                    nLength == 1 ? 1u : (1u << (nLength - 1)) | (nMiddle << 1) | 1u;
                for (int nStart = 0; nStart + nLength <= 26; ++nStart) {
                    const uint32_t nPattern = nShape << nStart;
                    const uint16_t nSyndrome = RemainderOf(nPattern);
                    if (patterns[nSyndrome] == 0) {
                        patterns[nSyndrome] = nPattern;
                    }
                }
            }
        }
    }
};

const SBursts& Bursts() {
    static const SBursts bursts;
    return bursts;
}

}  // namespace

uint16_t CRdsBlockCode::Remainder(uint32_t nBits) {
    return RemainderOf(nBits);
}

uint16_t CRdsBlockCode::Offset(uint8_t nId) {
    return nId < kOffsets.size() ? kOffsets[nId] : 0;
}

uint32_t CRdsBlockCode::Encode(uint16_t nWord, uint8_t nId) {
    const uint32_t nShifted = static_cast<uint32_t>(nWord) << 10;
    return nShifted | (Remainder(nShifted) ^ Offset(nId));
}

std::optional<uint8_t> CRdsBlockCode::IdOf(uint32_t nBits) {
    const uint16_t nSyndrome = Remainder(nBits);
    for (uint8_t nId = 0; nId < kOffsets.size(); ++nId) {
        if (nSyndrome == kOffsets[nId]) {
            return nId;
        }
    }
    return std::nullopt;
}

std::optional<uint16_t> CRdsBlockCode::Decode(uint32_t nBits, uint8_t nId, bool& bCorrected) {
    bCorrected = false;
    const uint16_t nDelta = Remainder(nBits) ^ Offset(nId);
    if (nDelta == 0) {
        return static_cast<uint16_t>((nBits & kMask26) >> 10);
    }
    const uint32_t nPattern = Bursts().patterns[nDelta];
    if (nPattern == 0) {
        return std::nullopt;
    }
    bCorrected = true;
    return static_cast<uint16_t>(((nBits ^ nPattern) & kMask26) >> 10);
}
