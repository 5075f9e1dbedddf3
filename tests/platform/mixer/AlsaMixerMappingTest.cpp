#include <gtest/gtest.h>

#include "platform/mixer/AlsaMixerMapping.h"
#include "platform/mixer/MixerTypes.h"

namespace {

TEST(AlsaMixerMappingTest, ElementNamesGiveTheComponentTypesOfTheirInputs) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"Line", MIXERLINE_COMPONENTTYPE_SRC_LINE},
        {"Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE},
        {"Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
        {"Front Mic", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
        {"Rear Mic 1", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
        {"CD", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC},
        {"PCM", MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT},
        {"Wave", MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT},
        {"Synth", MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER},
        {"Phone", MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE},
        {"PC Speaker", MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER},
        {"Beep", MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER},
        {"Aux", MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY},
        {"IEC958", MIXERLINE_COMPONENTTYPE_SRC_DIGITAL},
        // Words inside other words, boosts and outputs are not inputs.
        {"Headphone", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED},
        {"Speaker", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED},
        {"Mic Boost", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED},
        {"Micro", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED},
        {"Front", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED},
        {"", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED},
    };
    for (const auto& [name, type] : cases) {
        EXPECT_EQ(AlsaComponentType(name), type) << name;
    }
}

TEST(AlsaMixerMappingTest, SpeakersAreMasterOrTheNearestThing) {
    EXPECT_EQ(AlsaSpeakersElement({"PCM", "Speaker", "Master", "Line"}), 2);
    EXPECT_EQ(AlsaSpeakersElement({"Line", "PCM", "speaker"}), 2);
    EXPECT_EQ(AlsaSpeakersElement({"Line", "Mic", "Master 1"}), -1);
    EXPECT_EQ(AlsaSpeakersElement({}), -1);
    EXPECT_EQ(AlsaCaptureElement({"Mic", "Capture"}), 1);
    EXPECT_EQ(AlsaCaptureElement({"Mic"}), -1);
}

TEST(AlsaMixerMappingTest, VolumeScalingKeepsEndsAndSurvivesTheRoundTrip) {
    // Ranges with fewer, as many and more steps than 0..65535, and negative ones.
    const std::pair<long, long> ranges[] = {{0, 1},   {0, 31},    {0, 87},      {-6400, 0},
                                            {0, 255}, {0, 65535}, {-10, 65535}, {0, 200000}};
    for (const auto& [min, max] : ranges) {
        SCOPED_TRACE(testing::Message() << min << ".." << max);
        EXPECT_EQ(AlsaToMixerVolume(min, min, max), 0u);
        EXPECT_EQ(AlsaToMixerVolume(max, min, max), 65535u);
        EXPECT_EQ(AlsaFromMixerVolume(0, min, max), min);
        EXPECT_EQ(AlsaFromMixerVolume(65535, min, max), max);
        if (max - min <= 65535) {
            for (long raw = min; raw <= max; ++raw) {
                ASSERT_EQ(AlsaFromMixerVolume(AlsaToMixerVolume(raw, min, max), min, max), raw);
            }
        } else {
            for (uint32_t value = 0; value <= 65535; ++value) {
                ASSERT_EQ(AlsaToMixerVolume(AlsaFromMixerVolume(value, min, max), min, max), value);
            }
        }
    }
    // Out of range and empty ranges stay within bounds.
    EXPECT_EQ(AlsaToMixerVolume(500, 0, 87), 65535u);
    EXPECT_EQ(AlsaToMixerVolume(-1, 0, 87), 0u);
    EXPECT_EQ(AlsaFromMixerVolume(70000, 0, 87), 87);
    EXPECT_EQ(AlsaToMixerVolume(5, 5, 5), 0u);
    EXPECT_EQ(AlsaFromMixerVolume(40000, 5, 5), 5);
}

TEST(AlsaMixerMappingTest, CoarseElementReadsBackTheValueWrittenUntilSomeoneElseMovesIt) {
    const long raw = AlsaFromMixerVolume(1000, 0, 87);
    const SAlsaLastWrite last{true, raw, 1000};
    EXPECT_EQ(AlsaReadVolume(raw, 0, 87, last), 1000u);
    EXPECT_EQ(AlsaReadVolume(raw + 1, 0, 87, last), AlsaToMixerVolume(raw + 1, 0, 87));
    EXPECT_EQ(AlsaReadVolume(raw, 0, 87, SAlsaLastWrite{}), AlsaToMixerVolume(raw, 0, 87));
}

}  // namespace
