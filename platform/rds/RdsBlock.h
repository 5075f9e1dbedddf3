#pragma once

#include <cstdint>

// One RDS block as a tuner or a demodulator hands it over: 16 data bits and
// which of a group's blocks it is. The V4L2 layout (struct v4l2_rds_data) is
// three bytes: lsb, msb, then the block id in bits 0-2 with the corrected and
// error flags in bits 6 and 7.
struct SRdsBlock {
    // As V4L2 numbers them (V4L2_RDS_BLOCK_*): D before C'.
    enum EId : uint8_t { A = 0, B = 1, C = 2, D = 3, CPrime = 4, Invalid = 7 };

    uint16_t nWord = 0;
    uint8_t nId = Invalid;
    bool bCorrected = false;  // the receiver mended bit errors in it
    bool bError = false;      // beyond mending: its data is garbage

    static SRdsBlock FromV4l2(uint8_t nLsb, uint8_t nMsb, uint8_t nBlock) {
        SRdsBlock block;
        block.nWord = static_cast<uint16_t>((nMsb << 8) | nLsb);
        block.nId = nBlock & 0x07;
        block.bCorrected = (nBlock & 0x40) != 0;
        block.bError = (nBlock & 0x80) != 0;
        return block;
    }
};
