#include <gtest/gtest.h>

#include "mixer/MixerLine.h"
#include "platform/mixer/SimMixerServices.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "sim/soundcard/SimSoundCard.h"

namespace {

TEST(SimSoundCardTest, DefaultCardOffersTheMainWindowAndTheCoreTheirTargets) {
    CSimMixerServices mixer;
    CSimSoundCard card(mixer);
    CSimMessageTarget window;

    CMixerLine lister(mixer);
    std::vector<std::string> names;
    std::vector<uint32_t> types;
    EXPECT_EQ(lister.ListSpeakerSources(card.DeviceID(), names, types), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"Wave", "CD Player", "Line In", "Microphone"}));
    EXPECT_EQ(types[2], MIXERLINE_COMPONENTTYPE_SRC_LINE);

    for (int target = 0; target <= 7; ++target) {
        CMixerLine line(mixer);
        EXPECT_TRUE(line.SelectLine(&window, target, card.ProductName())) << target;
    }

    // The core unmutes the line input while the receiver is present.
    CMixerLine input(mixer);
    ASSERT_TRUE(input.SelectLine(&window, 7, ""));
    EXPECT_TRUE(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_LINE));
    input.SetMute(0);
    EXPECT_FALSE(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_LINE));
    EXPECT_TRUE(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE));
}

TEST(SimSoundCardTest, DesktopMixerChangesReachTheWindow) {
    CSimMixerServices mixer;
    CSimSoundCard card(mixer, {"USB Audio", {{MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line"}}, 1});
    CSimMessageTarget window;
    CMixerLine volume(mixer);
    CMixerLine mute(mixer);
    ASSERT_TRUE(volume.SelectLine(&window, 0, "usb audio"));
    ASSERT_TRUE(mute.SelectLine(&window, 1, "usb audio"));

    card.SetMasterVolume(12345);
    card.SetMasterMute(true);
    // Each of the window's two objects hears of both changes.
    ASSERT_TRUE(window.WaitFor(MM_MIXM_CONTROL_CHANGE, 4, 0));
    EXPECT_EQ(mute.GetValue(), 1u);
    EXPECT_EQ(volume.GetVolume(), 12345u);

    volume.SetVolume(100);
    EXPECT_EQ(card.MasterVolume(), 100u);
}

}  // namespace
