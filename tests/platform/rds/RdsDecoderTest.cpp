#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/rds/RdsCharset.h"
#include "platform/rds/RdsDecoder.h"
#include "platform/rds/RdsEncoder.h"

namespace {

CRdsEncoder::SStation Station(const std::string& strName, const std::string& strText = {},
                              uint16_t nPi = 0x8088) {
    CRdsEncoder::SStation station;
    station.nPi = nPi;
    station.nPty = 3;
    station.strName = strName;
    station.strText = strText;
    return station;
}

unsigned Feed(CRdsDecoder& decoder, const std::vector<SRdsBlock>& blocks) {
    unsigned nChanged = 0;
    for (const SRdsBlock& block : blocks) {
        nChanged |= decoder.Add(block);
    }
    return nChanged;
}

unsigned FeedCycles(CRdsDecoder& decoder, const CRdsEncoder& encoder, int nCycles) {
    unsigned nChanged = 0;
    for (int n = 0; n < nCycles; ++n) {
        nChanged |= Feed(decoder, encoder.Cycle());
    }
    return nChanged;
}

}  // namespace

TEST(RdsDecoderTest, ANameAndATextAreFinalOnlyOnceEverySegmentAgreed) {
    const CRdsEncoder encoder(Station("KESTREL", "Evening jazz until midnight"));
    CRdsDecoder decoder;

    // The name's four segments once, with the text's first four between.
    const std::vector<SRdsBlock> cycle = encoder.Cycle();
    unsigned nChanged = Feed(decoder, {cycle.begin(), cycle.begin() + 8 * 4});
    EXPECT_EQ(decoder.Pi(), 0x8088);
    EXPECT_EQ(decoder.Station(), "");
    EXPECT_EQ(decoder.RadioText(), "");

    // The name a second time, the text once whole.
    nChanged |= Feed(decoder, {cycle.begin() + 8 * 4, cycle.end()});
    EXPECT_EQ(decoder.Station(), "KESTREL");
    EXPECT_EQ(decoder.RadioText(), "");
    nChanged |= FeedCycles(decoder, encoder, 1);
    EXPECT_EQ(nChanged & (CRdsDecoder::kStation | CRdsDecoder::kRadioText),
              CRdsDecoder::kStation | CRdsDecoder::kRadioText);
    EXPECT_EQ(decoder.Station(), "KESTREL");
    EXPECT_EQ(decoder.RadioText(), "Evening jazz until midnight");
    EXPECT_EQ(decoder.Pty(), 3);
    EXPECT_EQ(FeedCycles(decoder, encoder, 1) & CRdsDecoder::kStation, 0u);
}

TEST(RdsDecoderTest, BadBlocksDropTheirGroupAndAHalfChangedNameIsNeverShown) {
    const CRdsEncoder oldName(Station("RADIO 1"));
    const CRdsEncoder newName(Station("JAZZ FM"));
    CRdsDecoder decoder;
    FeedCycles(decoder, oldName, 2);
    ASSERT_EQ(decoder.Station(), "RADIO 1");

    // The new name's first two segments, once and then again, the rest still
    // to come: nothing half new appears.
    std::vector<SRdsBlock> blocks = newName.Cycle();
    blocks.resize(8);
    Feed(decoder, blocks);
    Feed(decoder, blocks);
    EXPECT_EQ(decoder.Station(), "RADIO 1");

    // A group whose D block is in error never lands, a corrected one does.
    std::vector<SRdsBlock> damaged = newName.Cycle();
    damaged[3].bError = true;
    damaged[3].nWord = 0x4141;
    Feed(decoder, damaged);
    Feed(decoder, damaged);
    EXPECT_EQ(decoder.Station(), "RADIO 1");
    EXPECT_GE(decoder.DroppedGroups(), 2u);

    std::vector<SRdsBlock> corrected = newName.Cycle();
    corrected[3].bCorrected = true;
    Feed(decoder, corrected);
    EXPECT_EQ(decoder.Station(), "JAZZ FM");
}

TEST(RdsDecoderTest, BlocksOutOfOrderOrOfAnotherStationAreNotMixedIn) {
    const CRdsEncoder first(Station("FIRST", "One", 0x1111));
    const CRdsEncoder second(Station("SECOND", "Two", 0x2222));
    CRdsDecoder decoder;
    FeedCycles(decoder, first, 2);
    ASSERT_EQ(decoder.Station(), "FIRST");

    // A lost B block: the C and D that follow belong to no group.
    std::vector<SRdsBlock> blocks = second.Cycle();
    blocks.erase(blocks.begin() + 1);
    unsigned nChanged = Feed(decoder, blocks);
    EXPECT_GE(decoder.DroppedGroups(), 1u);

    // Another PI that holds: a new station, its own name only.
    nChanged |= FeedCycles(decoder, second, 2);
    EXPECT_NE(nChanged & CRdsDecoder::kPi, 0u);
    EXPECT_EQ(decoder.Pi(), 0x2222);
    EXPECT_EQ(decoder.Station(), "SECOND");
    EXPECT_EQ(decoder.RadioText(), "Two");

    // One stray group with another PI changes nothing.
    std::vector<SRdsBlock> stray = first.Cycle();
    stray.resize(4);
    Feed(decoder, stray);
    EXPECT_EQ(decoder.Pi(), 0x2222);
    EXPECT_EQ(decoder.Station(), "SECOND");

    decoder.Reset();
    EXPECT_EQ(decoder.Pi(), std::nullopt);
    EXPECT_EQ(decoder.Station(), "");
}

TEST(RdsDecoderTest, ANewTextFlagStartsANewTextThatShowsOnceWhole) {
    CRdsEncoder::SStation station = Station("NEWS", "Headlines at nine");
    CRdsDecoder decoder;
    FeedCycles(decoder, CRdsEncoder(station), 2);
    ASSERT_EQ(decoder.RadioText(), "Headlines at nine");

    station.strText = "Weather: sunny, 21 degrees";
    station.bTextFlag = true;
    const CRdsEncoder next(station);
    Feed(decoder, next.Cycle());
    EXPECT_EQ(decoder.RadioText(), "Headlines at nine");
    Feed(decoder, next.Cycle());
    EXPECT_EQ(decoder.RadioText(), "Weather: sunny, 21 degrees");
}

TEST(RdsDecoderTest, TheStationsCharacterSetBecomesUtf8) {
    const CRdsEncoder encoder(Station("Hörfunk", "Café Ñandú ¤ ― $"));
    CRdsDecoder decoder;
    FeedCycles(decoder, encoder, 2);
    EXPECT_EQ(decoder.Station(), "Hörfunk");
    EXPECT_EQ(decoder.RadioText(), "Café Ñandú ¤ ― $");

    // Control codes show as blanks, and what the set lacks as '?'.
    EXPECT_EQ(RdsCharset::ToUtf8(std::string("A\x01\x7F"
                                             "B")),
              "A  B");
    EXPECT_EQ(RdsCharset::FromUtf8("a\xE3\x81\x82z"), "a???z");
}

// As vivid's generator sends it, read as the kernel hands it over: the name
// in 0B groups, whose C' block carries the PI again.
TEST(RdsDecoderTest, ANameInVersionBGroupsFromTheKernelIsShown) {
    const std::string strName = " 96000.0";
    const auto block = [](uint16_t nWord, uint8_t nV4l2Id) {
        return SRdsBlock::FromV4l2(static_cast<uint8_t>(nWord & 0xFF),
                                   static_cast<uint8_t>(nWord >> 8),
                                   static_cast<uint8_t>(nV4l2Id | (nV4l2Id << 3)));
    };
    std::vector<SRdsBlock> blocks;
    for (int nRound = 0; nRound < 2; ++nRound) {
        for (uint16_t nSegment = 0; nSegment < 4; ++nSegment) {
            const auto nChars =
                static_cast<uint16_t>((static_cast<uint8_t>(strName[2 * nSegment]) << 8) |
                                      static_cast<uint8_t>(strName[2 * nSegment + 1]));
            blocks.push_back(block(0x8088, V4L2_RDS_BLOCK_A));
            blocks.push_back(block(static_cast<uint16_t>(0x0c68 | nSegment), V4L2_RDS_BLOCK_B));
            blocks.push_back(block(0x8088, V4L2_RDS_BLOCK_C_ALT));
            blocks.push_back(block(nChars, V4L2_RDS_BLOCK_D));
        }
    }
    CRdsDecoder decoder;
    Feed(decoder, blocks);
    EXPECT_EQ(decoder.Pi(), 0x8088);
    EXPECT_EQ(decoder.Station(), "96000.0");
}
