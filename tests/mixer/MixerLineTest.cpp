#include <gtest/gtest.h>

#include "mixer/MixerLine.h"
#include "platform/mixer/SimMixerServices.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "tests/support/TraceCapture.h"

namespace {

using Entry = CTraceCapture::SEntry;

struct SSource {
    uint32_t nType;
    std::string strName;
};

struct SCard {
    int nDevice;
    uint32_t nSpeakers;
    uint32_t nVolume;
    uint32_t nMute;
    std::vector<uint32_t> sourceMutes;
};

class MixerLineTest : public ::testing::Test {
protected:
    // A stereo speakers mix with master volume and mute; every source has a mute.
    SCard AddCard(const std::string& strName, const std::vector<SSource>& sources = {}) {
        SCard card{};
        card.nDevice = m_mixer.AddDevice(strName);
        card.nSpeakers = m_mixer.AddDestination(card.nDevice, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,
                                                "Volume Control", 2);
        card.nVolume = m_mixer.AddControl(card.nSpeakers, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0);
        card.nMute = m_mixer.AddControl(card.nSpeakers, MIXERCONTROL_CONTROLTYPE_MUTE,
                                        MIXERCONTROL_CONTROLF_UNIFORM, 0);
        for (const SSource& source : sources) {
            uint32_t line = m_mixer.AddSource(card.nSpeakers, source.nType, source.strName, 2);
            card.sourceMutes.push_back(m_mixer.AddControl(line, MIXERCONTROL_CONTROLTYPE_MUTE,
                                                          MIXERCONTROL_CONTROLF_UNIFORM, 0));
        }
        return card;
    }

    bool Traced(const char* tag, const std::string& message) const {
        for (const Entry& entry : m_trace.Entries()) {
            if (entry == Entry{tag, message}) {
                return true;
            }
        }
        return !CTraceCapture::kEnabled;
    }

    CTraceCapture m_trace;
    CSimMixerServices m_mixer;
    CSimMessageTarget m_window;
};

TEST_F(MixerLineTest, MachineWithoutMixerDevicesLeavesEverythingClosed) {
    CMixerLine line(m_mixer);
    EXPECT_FALSE(line.SelectLine(&m_window, 0, ""));
    EXPECT_TRUE(Traced("CMixerBase::Init", "No mixer device present"));
    EXPECT_EQ(line.Selection(), -1);

    std::vector<std::string> names{"stale"};
    EXPECT_EQ(line.ListDevices(names), 0);
    EXPECT_TRUE(names.empty());

    EXPECT_FALSE(line.SetVolume(1000));
    EXPECT_TRUE(line.SetMute(1));
    EXPECT_EQ(line.GetVolume(), 0u);
    EXPECT_EQ(line.GetValue(), 0u);
}

TEST_F(MixerLineTest, ProductNameMatchesRegardlessOfCaseAndTrailingBlanksOfTheCard) {
    AddCard("Other Card");
    SCard card = AddCard("Realtek HD Audio \t ");

    CMixerLine line(m_mixer);
    ASSERT_TRUE(line.SelectLine(&m_window, 1, "realtek hd AUDIO"));
    EXPECT_EQ(m_mixer.OpenHandles(card.nDevice), 1);
    EXPECT_EQ(m_mixer.OpenHandles(0), 0);

    // Blanks on the stored name, or any other difference, match no device.
    for (const char* stored : {"Realtek HD Audio ", "Realtek HD", " Realtek HD Audio"}) {
        SCOPED_TRACE(stored);
        CMixerLine other(m_mixer);
        EXPECT_FALSE(other.SelectLine(&m_window, 1, stored));
        EXPECT_FALSE(other.IsOpen());
        EXPECT_TRUE(Traced("CMixerBase::Init", "Could not open mixer device"));
    }
}

TEST_F(MixerLineTest, EmptyNameTakesTheFirstDeviceWhoseCapabilitiesCanBeRead) {
    SCard broken = AddCard("Broken");
    SCard good = AddCard("Good");
    m_mixer.SetCapsReadable(broken.nDevice, false);

    CMixerLine line(m_mixer);
    ASSERT_TRUE(line.SelectLine(&m_window, 0, ""));
    EXPECT_EQ(m_mixer.OpenHandles(good.nDevice), 1);

    // The count still includes the device that could not be read.
    std::vector<std::string> names;
    EXPECT_EQ(line.ListDevices(names), 2);
    EXPECT_EQ(names, std::vector<std::string>{"Good"});
}

TEST_F(MixerLineTest, VolumeIsClampedAndReadsAsTheLouderChannel) {
    SCard card = AddCard("Card");
    CMixerLine volume(m_mixer);
    ASSERT_TRUE(volume.SelectLine(&m_window, 0, "card"));

    EXPECT_TRUE(volume.SetVolume(-5));
    EXPECT_EQ(m_mixer.Values(card.nVolume), (std::vector<uint32_t>{0, 0}));
    EXPECT_TRUE(volume.SetVolume(70000));
    EXPECT_EQ(m_mixer.Values(card.nVolume), (std::vector<uint32_t>{65535, 65535}));

    m_mixer.SetValues(card.nVolume, {1000, 40000});
    EXPECT_EQ(volume.GetVolume(), 40000u);
    m_mixer.SetValues(card.nVolume, {40000, 1000});
    EXPECT_EQ(volume.GetVolume(), 40000u);
    // A second channel out of range is no volume.
    m_mixer.SetValues(card.nVolume, {1000, 70000});
    EXPECT_EQ(volume.GetVolume(), 1000u);
}

TEST_F(MixerLineTest, MuteTargetReadsThroughGetValueButHasNoVolume) {
    SCard card = AddCard("Card");
    CMixerLine mute(m_mixer);
    ASSERT_TRUE(mute.SelectLine(&m_window, 1, ""));

    EXPECT_TRUE(mute.SetMute(7));
    EXPECT_EQ(m_mixer.Values(card.nMute), std::vector<uint32_t>{1});
    EXPECT_EQ(mute.GetValue(), 1u);
    EXPECT_EQ(mute.GetVolume(), 0u);

    // An unknown target changes nothing: the mute stays bound.
    EXPECT_FALSE(mute.SelectLine(&m_window, 8, ""));
    EXPECT_FALSE(mute.SelectLine(&m_window, -1, ""));
    EXPECT_EQ(mute.Selection(), 1);
    EXPECT_TRUE(mute.SetMute(0));
    EXPECT_EQ(mute.GetValue(), 0u);
}

TEST_F(MixerLineTest, CardWithoutMicrophoneInTheSpeakersMixFailsTheMicrophoneMute) {
    SCard card = AddCard("Card", {{MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In"}});
    m_mixer.SetValues(card.sourceMutes[0], {1});

    CMixerLine input(m_mixer);
    ASSERT_TRUE(input.SelectLine(&m_window, 7, ""));
    EXPECT_EQ(input.LineName(), "Line In");
    input.SetMute(0);
    EXPECT_EQ(m_mixer.Values(card.sourceMutes[0]), std::vector<uint32_t>{0});

    EXPECT_FALSE(input.SelectLine(&m_window, 6, ""));
    EXPECT_TRUE(Traced("CMixerBase::Init",
                       "Warning: the source line \nMIXERLINE_COMPONENTTYPE_SRC_MICROPHONE\n not "
                       "found.\n\n(Associated to Destination line \nVolume Control)"));
    EXPECT_FALSE(input.IsOpen());
    EXPECT_EQ(m_mixer.OpenHandles(card.nDevice), 0);
    EXPECT_EQ(input.Selection(), 7);
    // Closed: the mute reports success and touches nothing.
    EXPECT_TRUE(input.SetMute(1));
    EXPECT_EQ(m_mixer.Values(card.sourceMutes[0]), std::vector<uint32_t>{0});
    EXPECT_EQ(input.GetValue(), 0u);
}

TEST_F(MixerLineTest, InitFailuresTraceWhatWasMissing) {
    int device = m_mixer.AddDevice("Card");
    uint32_t speakers =
        m_mixer.AddDestination(device, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers", 2);
    m_mixer.AddSource(speakers, MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line", 2);
    m_mixer.AddControl(speakers, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, 0);
    CMixerLine line(m_mixer);

    EXPECT_FALSE(line.SelectLine(&m_window, 5, ""));
    EXPECT_TRUE(Traced("CMixerBase::Init",
                       "Warning: the destination line \nMIXERLINE_COMPONENTTYPE_DST_WAVEIN\nwas "
                       "not found."));

    EXPECT_FALSE(line.SelectLine(&m_window, 2, ""));
    EXPECT_TRUE(Traced("CMixerBase::Init", "No controls available for this audio line: Line"));

    EXPECT_FALSE(line.SelectLine(&m_window, 0, ""));
    EXPECT_TRUE(Traced("CMixerBase::Init",
                       "Could not find specified mixer control. Associated Windows control will "
                       "be disabled.\nControl type: MIXERCONTROL_CONTROLTYPE_VOLUME,\n\nDest line "
                       "type: MIXERLINE_COMPONENTTYPE_DST_SPEAKERS,\nSrc  line type: No source "
                       "line\n"));
    EXPECT_FALSE(line.IsOpen());
}

TEST_F(MixerLineTest, ControlUnitsAndFlagsShapeTheValueBuffer) {
    int device = m_mixer.AddDevice("Card");
    uint32_t speakers =
        m_mixer.AddDestination(device, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Speakers", 2);
    m_mixer.AddControl(speakers, MIXERCONTROL_CONTROLTYPE_CUSTOM, 0, 0);
    uint32_t uniform = m_mixer.AddControl(speakers, MIXERCONTROL_CONTROLTYPE_VOLUME,
                                          MIXERCONTROL_CONTROLF_UNIFORM, 0);
    uint32_t mux = m_mixer.AddControl(speakers, MIXERCONTROL_CONTROLTYPE_MUX,
                                      MIXERCONTROL_CONTROLF_MULTIPLE, 3);

    CMixerBase base(m_mixer);
    EXPECT_FALSE(base.Init(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXER_NO_SOURCE,
                           MIXERCONTROL_CONTROLTYPE_CUSTOM, &m_window, ""));
    EXPECT_TRUE(Traced("CMixerBase::InitMXDetails", "Control uses unknown units."));
    EXPECT_FALSE(base.IsOpen());

    // A uniform control holds one value for both channels.
    CMixerLine volume(m_mixer);
    ASSERT_TRUE(volume.SelectLine(&m_window, 0, ""));
    m_mixer.SetValues(uniform, {30000});
    EXPECT_EQ(volume.GetVolume(), 30000u);

    // A multiple control holds its items for each of the line's channels.
    ASSERT_TRUE(base.Init(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXER_NO_SOURCE,
                          MIXERCONTROL_CONTROLTYPE_MUX, &m_window, ""));
    m_mixer.SetValues(mux, {0, 1, 0, 0, 1, 0});
    EXPECT_TRUE(base.ReadDetails());
}

TEST_F(MixerLineTest, SpeakerSourcesAreAppendedInSourceOrderWithTheirTypes) {
    AddCard("First");
    SCard card = AddCard("Second", {{MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD"},
                                    {MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In"},
                                    {MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Mic"}});
    uint32_t recording =
        m_mixer.AddDestination(card.nDevice, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Recording", 2);
    m_mixer.AddSource(recording, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, "Aux", 2);

    CMixerLine line(m_mixer);
    std::vector<std::string> names{"kept"};
    std::vector<uint32_t> types{0};
    EXPECT_EQ(line.ListSpeakerSources(card.nDevice, names, types), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "CD", "Line In", "Mic"}));
    EXPECT_EQ(types, (std::vector<uint32_t>{0, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC,
                                            MIXERLINE_COMPONENTTYPE_SRC_LINE,
                                            MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}));

    // Not a device: nothing listed. The temporary handle is gone either way.
    EXPECT_EQ(line.ListSpeakerSources(7, names, types), 0);
    EXPECT_EQ(names.size(), 4u);
    EXPECT_EQ(m_mixer.OpenHandles(card.nDevice), 0);
}

TEST_F(MixerLineTest, WindowHearsOfChangesMadeByAnyoneUntilItsObjectsClose) {
    SCard card = AddCard("Card", {{MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In"}});
    CSimMessageTarget core;
    auto volume = std::make_unique<CMixerLine>(m_mixer);
    ASSERT_TRUE(volume->SelectLine(&m_window, 0, ""));
    CMixerLine input(m_mixer);
    ASSERT_TRUE(input.SelectLine(&core, 7, ""));

    // Another object on the same card, and then another program.
    input.SetMute(1);
    ASSERT_TRUE(m_window.WaitFor(MM_MIXM_CONTROL_CHANGE, 1, 0));
    EXPECT_EQ(m_window.Messages().back().lParam, static_cast<intptr_t>(card.sourceMutes[0]));
    m_mixer.SetValues(card.nVolume, {20000, 20000});
    ASSERT_TRUE(m_window.WaitFor(MM_MIXM_CONTROL_CHANGE, 2, 0));
    EXPECT_EQ(volume->GetVolume(), 20000u);

    // Writing what is already there is no change.
    input.SetMute(1);
    EXPECT_EQ(m_window.Count(MM_MIXM_CONTROL_CHANGE, false), 2);

    volume.reset();
    input.SetMute(0);
    EXPECT_EQ(m_window.Count(MM_MIXM_CONTROL_CHANGE, false), 2);
    EXPECT_EQ(core.Count(MM_MIXM_CONTROL_CHANGE, false), 3);
}

}  // namespace
