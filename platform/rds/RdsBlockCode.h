#pragma once

#include <cstdint>
#include <optional>

#include "platform/rds/RdsBlock.h"

// The code that protects each RDS block on the air (EN 50067 annex B): 16
// data bits and a 10-bit check word, the remainder by the generator
// x^10+x^8+x^7+x^5+x^4+x^3+1 plus the block's offset word. A receiver finds
// the blocks by their syndromes and mends error bursts of up to five bits.
class CRdsBlockCode {
public:
    // The 26 bits of a block as sent, data first, most significant bit first.
    static uint32_t Encode(uint16_t nWord, uint8_t nId);
    // The block whose offset the 26 bits carry unharmed (A, B, C, C', D).
    static std::optional<uint8_t> IdOf(uint32_t nBits);
    // The block's word when the 26 bits are block nId, mended if a burst of
    // at most five bits hit them (bCorrected); nothing when beyond mending.
    static std::optional<uint16_t> Decode(uint32_t nBits, uint8_t nId, bool& bCorrected);

    static constexpr int kBits = 26;

private:
    static uint16_t Remainder(uint32_t nBits);
    static uint16_t Offset(uint8_t nId);
};
