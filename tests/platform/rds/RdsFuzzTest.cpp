#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/rds/RdsDecoder.h"
#include "platform/rds/RdsEncoder.h"

namespace {

bool IsUtf8(const std::string& text) {
    size_t n = 0;
    while (n < text.size()) {
        const auto c = static_cast<unsigned char>(text[n]);
        const size_t nLength = c < 0x80 ? 1 : (c >> 5) == 0x06 ? 2 : (c >> 4) == 0x0E ? 3 : 0;
        if (nLength == 0 || n + nLength > text.size()) {
            return false;
        }
        for (size_t k = 1; k < nLength; ++k) {
            if ((static_cast<unsigned char>(text[n + k]) >> 6) != 0x02) {
                return false;
            }
        }
        n += nLength;
    }
    return true;
}

void ExpectSane(const CRdsDecoder& decoder) {
    ASSERT_TRUE(IsUtf8(decoder.Station()));
    ASSERT_TRUE(IsUtf8(decoder.RadioText()));
    ASSERT_LE(decoder.Station().size(), 8u * 3);
    ASSERT_LE(decoder.RadioText().size(), 64u * 3);
    if (decoder.Pty()) {
        ASSERT_LT(*decoder.Pty(), 32);
    }
}

}  // namespace

TEST(RdsFuzzTest, RandomBlocksNeverBreakTheDecoder) {
    std::mt19937 random(20261209);
    CRdsDecoder decoder;
    for (int n = 0; n < 400000; ++n) {
        const uint32_t nBits = random();
        decoder.Add(SRdsBlock::FromV4l2(static_cast<uint8_t>(nBits),
                                        static_cast<uint8_t>(nBits >> 8),
                                        static_cast<uint8_t>(nBits >> 16)));
        if (n % 1000 == 0) {
            ExpectSane(decoder);
        }
    }
    ExpectSane(decoder);
}

// A real station's stream with bits flipped, blocks lost, repeated and
// relabelled: never a name that the station did not send whole.
TEST(RdsFuzzTest, MutatedStreamsShowOnlyWhatWasSentWhole) {
    std::mt19937 random(4711);
    CRdsEncoder::SStation station;
    station.nPi = 0xC0DE;
    station.strName = "KESTREL";
    station.strText = "Night flight: ambient until dawn";
    const std::vector<SRdsBlock> clean = CRdsEncoder(station).Cycle();
    CRdsDecoder decoder;
    for (int nRound = 0; nRound < 20000; ++nRound) {
        for (SRdsBlock block : clean) {
            const uint32_t nDice = random() % 100;
            if (nDice < 3) {
                continue;  // lost
            }
            if (nDice < 6) {
                block.nId = static_cast<uint8_t>(random() % 8);
            } else if (nDice < 9) {
                block.nWord ^= static_cast<uint16_t>(1u << (random() % 16));
                block.bError = true;
            }
            decoder.Add(block);
            if (nDice == 99) {
                decoder.Add(block);  // repeated
            }
        }
        ExpectSane(decoder);
        const std::string& strName = decoder.Station();
        ASSERT_TRUE(strName.empty() || strName == "KESTREL") << strName;
        const std::string& strText = decoder.RadioText();
        ASSERT_TRUE(strText.empty() || strText == station.strText) << strText;
    }
    EXPECT_EQ(decoder.Station(), "KESTREL");
}
