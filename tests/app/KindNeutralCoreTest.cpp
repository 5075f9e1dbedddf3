#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/mixer/MixerTypes.h"
#include "platform/window/WindowMessages.h"
#include "tests/app/CoreRig.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/receiver/ScriptedReceiverFactory.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

SScriptedStation Station(unsigned nFrequency, double dToneHz, const char* pName) {
    SScriptedStation station;
    station.nFrequency = nFrequency;
    station.dToneHz = dToneHz;
    station.strName = pName;
    return station;
}

// The core on a receiver that is no HID receiver and brings its own audio:
// it tunes, seeks and records through the same operations, records from the
// receiver's feed with no input pin, and leaves the sound card's inputs alone.
class KindNeutralCoreTest : public ::testing::Test {
protected:
    KindNeutralCoreTest() {
        m_rig.UseReceivers(m_receivers);
        m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 1);  // WAV
    }
    CRadioCore& Core() {
        CRadioCore& core = m_rig.Core();
        core.OpenRadio();
        return core;
    }

    CScriptedReceiverFactory m_receivers{
        {Station(8000, 1000.0, "Scripted One"), Station(8250, 2500.0, "Scripted Two")}};
    CCoreRig m_rig;
};

TEST_F(KindNeutralCoreTest, TunesAndSeeksThroughTheSameOperations) {
    CRadioCore& core = Core();
    ASSERT_EQ(core.DevicePresent(), 1);
    EXPECT_TRUE(core.BringsOwnAudio());
    core.SelectBand(CReceiver::BAND_FM);
    core.TuneTo(8000);
    EXPECT_EQ(core.Reading().strStation, "Scripted One");
    EXPECT_EQ(core.ChannelText(), "FM 80.00MHz");
    core.StepChannel(true);
    EXPECT_EQ(core.CurrentFrequency(), 8010u);
    ASSERT_TRUE(core.StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !core.IsSeeking(); }, 10s));
    EXPECT_EQ(core.CurrentFrequency(), 8250u);
    EXPECT_EQ(m_rig.m_window.Count(WM_SEEK_FOUND, true), 1);

    m_receivers.Made()->Unplug();
    EXPECT_EQ(core.CheckDevice(), 0);
    m_receivers.Made()->Plug();
    EXPECT_EQ(core.CheckDevice(), 1);
}

// Recorded from the receiver's own feed: the station's tone, not the sound
// card's input, which is neither chosen nor muted nor unmuted.
TEST_F(KindNeutralCoreTest, RecordsItsOwnAudioWithNoInputPin) {
    m_rig.UseRealClock();
    CSimSoundCard& card = m_rig.Card();
    const bool bMicMuted = card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE);
    CRadioCore& core = Core();
    core.SelectInputMute();
    core.TuneTo(8000);
    ASSERT_TRUE(core.StartRecording());
    std::this_thread::sleep_for(1500ms);
    core.StopRecording();

    EXPECT_EQ(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE), bMicMuted);
    EXPECT_EQ(m_rig.m_media.LastCaptureRequest().strDevice, "");  // no card recorded
    const std::vector<int16_t> samples = ReadWavSamples(core.RecordFile());
    ASSERT_GT(samples.size(), 2u * 11025);  // a second at the normal quality's rate
    const size_t nFrames = samples.size() / 2;
    EXPECT_GT(ToneShare(samples.data() + nFrames / 2, nFrames / 2, 2, 11025, 1000.0), 0.8);
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
    // No preset holds it: the catalogue names it as the station names itself.
    const SDbResult result = m_rig.m_dataSource.Query("select ChannelName from FileList");
    ASSERT_EQ(result.m_rows.size(), 1u);
    EXPECT_EQ(std::get<std::string>(result.m_rows[0][0]), "Scripted One");
    EXPECT_EQ(core.StationName(), "Scripted One");
}

}  // namespace
