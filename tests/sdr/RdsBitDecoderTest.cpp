#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/rds/RdsBlockCode.h"
#include "platform/rds/RdsDecoder.h"
#include "platform/rds/RdsEncoder.h"
#include "sdr/RdsBitDecoder.h"

namespace {

std::vector<SRdsBlock> Sent(int nCycles = 3) {
    CRdsEncoder::SStation station;
    station.nPi = 0xC0DE;
    station.strName = "KESTREL";
    station.strText = "Night flight";
    std::vector<SRdsBlock> blocks;
    for (int n = 0; n < nCycles; ++n) {
        const std::vector<SRdsBlock> cycle = CRdsEncoder(station).Cycle();
        blocks.insert(blocks.end(), cycle.begin(), cycle.end());
    }
    return blocks;
}

std::vector<bool> Bits(const std::vector<SRdsBlock>& blocks) {
    std::vector<bool> bits;
    for (const SRdsBlock& block : blocks) {
        const uint32_t nBits = CRdsBlockCode::Encode(block.nWord, block.nId);
        for (int n = CRdsBlockCode::kBits - 1; n >= 0; --n) {
            bits.push_back(((nBits >> n) & 1u) != 0);
        }
    }
    return bits;
}

std::vector<SRdsBlock> Decoded(const std::vector<bool>& bits) {
    CRdsBitDecoder decoder;
    std::vector<SRdsBlock> blocks;
    for (const bool bBit : bits) {
        decoder.Add(bBit, blocks);
    }
    return blocks;
}

TEST(RdsBitDecoderTest, TheBlocksComeBackWhereverTheStreamIsJoined) {
    const std::vector<SRdsBlock> sent = Sent();
    std::vector<bool> bits = Bits(sent);
    bits.insert(bits.begin(), {true, false, false, true, true, false, true});
    const std::vector<SRdsBlock> got = Decoded(bits);
    // Sync takes the second of two offset words: the second block on.
    ASSERT_EQ(got.size(), sent.size() - 1);
    for (size_t n = 0; n < got.size(); ++n) {
        EXPECT_EQ(got[n].nWord, sent[n + 1].nWord) << n;
        EXPECT_EQ(got[n].nId, sent[n + 1].nId) << n;
        EXPECT_FALSE(got[n].bError || got[n].bCorrected) << n;
    }
}

TEST(RdsBitDecoderTest, BurstsOfUpToFiveBitsAreMendedAndSaidSo) {
    const std::vector<SRdsBlock> sent = Sent();
    for (int nBurst = 1; nBurst <= 5; ++nBurst) {
        std::vector<bool> bits = Bits(sent);
        const size_t nFirst = 10 * CRdsBlockCode::kBits + 7;  // inside the eleventh block
        for (int n = 0; n < nBurst; ++n) {
            bits[nFirst + static_cast<size_t>(n)] = !bits[nFirst + static_cast<size_t>(n)];
        }
        const std::vector<SRdsBlock> got = Decoded(bits);
        ASSERT_GT(got.size(), 9u);
        EXPECT_EQ(got[9].nWord, sent[10].nWord) << nBurst << " bits";
        EXPECT_TRUE(got[9].bCorrected) << nBurst << " bits";
        EXPECT_FALSE(got[9].bError);
    }
}

// Noise finds an offset word now and then, and even a false sync: the
// group decoder downstream never shows a station from it.
TEST(RdsBitDecoderTest, RandomBitsNeverMakeAStation) {
    std::mt19937 random(7);
    std::bernoulli_distribution coin(0.5);
    CRdsBitDecoder bits;
    CRdsDecoder decoder;
    std::vector<SRdsBlock> blocks;
    for (int n = 0; n < 2'000'000; ++n) {
        bits.Add(coin(random), blocks);
        for (const SRdsBlock& block : blocks) {
            decoder.Add(block);
        }
        blocks.clear();
    }
    EXPECT_EQ(decoder.Station(), "");
    EXPECT_EQ(decoder.RadioText(), "");
}

}  // namespace
