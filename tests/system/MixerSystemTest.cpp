#include <QAbstractButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "mixer/MixerLine.h"
#include "platform/mixer/AlsaMixerServices.h"
#include "platform/mixer/ThreadFdWatcher.h"
#include "tests/system/Amixer.h"
#include "tests/system/GuestRig.h"
#include "tests/system/SystemWait.h"

// The ALSA mixer back-end on real cards: the emulated AC97 codec (card 0, a
// master volume with its switch), snd-dummy (card 1, volumes common to both
// directions, capture switches only) and snd-aloop (card 2, no simple
// controls). amixer reads and sets the same controls beside it.
namespace {

using namespace std::chrono_literals;

constexpr int kCodecCard = 0;
constexpr int kDummyCard = 1;
constexpr int kTargetVolume = 0;
constexpr int kTargetMute = 1;

class MixerSystemTest : public testing::Test {
protected:
    static long LeftRaw(int nCard) {
        const auto channels = CAmixer::Read(nCard, "Master");
        return channels ? channels->front().nRaw : -9999;
    }
    static bool BothOn(int nCard) {
        const auto channels = CAmixer::Read(nCard, "Master");
        return channels && channels->size() == 2 && channels->at(0).bOn && channels->at(1).bOn;
    }

    CThreadFdWatcher m_watcher;
    CAlsaMixerServices m_mixer{m_watcher};
};

TEST_F(MixerSystemTest, ListsEveryCardByItsMixerName) {
    CMixerLine lister(m_mixer);
    std::vector<std::string> names;
    EXPECT_EQ(lister.ListDevices(names), 3);
    const std::vector<std::string> expected = {CAmixer::MixerName(0), CAmixer::MixerName(1),
                                               CAmixer::MixerName(2)};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(names.at(kDummyCard), "Dummy Mixer");

    // The dummy's speakers mix feeds from its Line and Mic, as the options
    // dialog and the core look for them.
    std::vector<std::string> sources;
    std::vector<uint32_t> types;
    lister.ListSpeakerSources(kDummyCard, sources, types);
    EXPECT_EQ(sources, (std::vector<std::string>{"Synth", "Line", "CD", "Mic"}));
}

TEST_F(MixerSystemTest, DummyMasterVolumeIsWhatAmixerReads) {
    CMixerLine volume(m_mixer);
    ASSERT_TRUE(volume.SelectLine(nullptr, kTargetVolume, "Dummy Mixer"));
    // The dummy's range is -50..100: 0.6 of the way is 40.
    ASSERT_TRUE(volume.SetVolume(39321));
    const auto channels = CAmixer::Read(kDummyCard, "Master");
    ASSERT_TRUE(channels);
    ASSERT_EQ(channels->size(), 2u);
    EXPECT_EQ(channels->at(0).nRaw, 40);
    EXPECT_EQ(channels->at(1).nRaw, 40);
    EXPECT_EQ(volume.GetVolume(), 39321u);

    ASSERT_TRUE(CAmixer::Set(kDummyCard, "Master", {"70"}));
    EXPECT_EQ(volume.GetVolume(), 52428u);  // (70 + 50) / 150 of 65535

    // Its Master has no playback switch: there is no master mute to take.
    CMixerLine mute(m_mixer);
    EXPECT_FALSE(mute.SelectLine(nullptr, kTargetMute, "Dummy Mixer"));
}

TEST_F(MixerSystemTest, CodecMasterVolumeAndMuteAreWhatAmixerReads) {
    const std::string strCodec = CAmixer::MixerName(kCodecCard);
    ASSERT_FALSE(strCodec.empty());
    CMixerLine volume(m_mixer);
    CMixerLine mute(m_mixer);
    ASSERT_TRUE(volume.SelectLine(nullptr, kTargetVolume, strCodec));
    ASSERT_TRUE(mute.SelectLine(nullptr, kTargetMute, strCodec));

    ASSERT_TRUE(volume.SetVolume(65535));
    EXPECT_EQ(LeftRaw(kCodecCard), 63);
    ASSERT_TRUE(volume.SetVolume(21845));  // a third of 0..63
    EXPECT_EQ(LeftRaw(kCodecCard), 21);

    mute.SetMute(1);
    EXPECT_FALSE(CAmixer::Read(kCodecCard, "Master")->at(0).bOn);
    EXPECT_EQ(mute.GetValue(), 1u);
    mute.SetMute(0);
    EXPECT_TRUE(BothOn(kCodecCard));
    EXPECT_EQ(mute.GetValue(), 0u);
    ASSERT_TRUE(CAmixer::Set(kCodecCard, "Master", {"mute"}));
    EXPECT_EQ(mute.GetValue(), 1u);
    ASSERT_TRUE(CAmixer::Set(kCodecCard, "Master", {"unmute"}));
    EXPECT_EQ(mute.GetValue(), 0u);
}

// The window opens the first card's master volume and mute; a change made
// elsewhere comes back as the mixer's change notice.
TEST_F(MixerSystemTest, AmixerChangesReachTheWindowsSliderAndMuteBox) {
    ASSERT_TRUE(CAmixer::Set(kCodecCard, "Master", {"10", "unmute"}));
    CGuestRig rig;
    CRadioDlg& window = rig.Window();
    auto* pSlider = window.GetDlgItemAs<QSlider>(CRadioDlg::IDC_VOLUME);
    auto* pMute = window.GetDlgItemAs<QAbstractButton>(CRadioDlg::IDC_MUTE);
    ASSERT_NE(pSlider, nullptr);
    ASSERT_NE(pMute, nullptr);
    EXPECT_EQ(pSlider->value(), 10402);  // 10 of 63
    EXPECT_EQ(window.Mute(), 0);

    ASSERT_TRUE(CAmixer::Set(kCodecCard, "Master", {"42"}));
    EXPECT_TRUE(WaitUntil([&] { return pSlider->value() == 43690; }, 20s))
        << "slider at " << pSlider->value();
    ASSERT_TRUE(CAmixer::Set(kCodecCard, "Master", {"mute"}));
    EXPECT_TRUE(WaitUntil([&] { return window.Mute() == 1 && pMute->isChecked(); }, 20s));
    ASSERT_TRUE(CAmixer::Set(kCodecCard, "Master", {"unmute"}));
    EXPECT_TRUE(WaitUntil([&] { return window.Mute() == 0 && !pMute->isChecked(); }, 20s));

    // And the other way: the mute box sets the card.
    pMute->click();
    EXPECT_EQ(window.Mute(), 1);
    EXPECT_FALSE(CAmixer::Read(kCodecCard, "Master")->at(0).bOn);
    pMute->click();
    EXPECT_TRUE(BothOn(kCodecCard));
}

}  // namespace
