#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/dialogs/SimMessageBoxes.h"
#include "platform/media/SimMediaServices.h"
#include "platform/window/SimMessageTarget.h"
#include "record/AudioGraph.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

SSimCaptureDevice Card(const std::string& strName, std::vector<SSimPin> pins = {}) {
    pins.push_back({"Capture", EPinDirection::Output});
    return {strName, std::move(pins)};
}

class AudioGraphTest : public ::testing::Test {
protected:
    AudioGraphTest() { m_media.SetRealAudioOutput(false); }

    // Made on first use, so that a test lays out its devices first.
    CAudioGraph& Graph() {
        if (!m_pGraph) {
            m_pGraph = std::make_unique<CAudioGraph>(m_media, m_boxes);
            m_pGraph->Open(&m_window);
        }
        return *m_pGraph;
    }

    bool Record(const std::string& path, bool bWav, int nQuality, std::chrono::milliseconds span) {
        return Record(path, bWav ? ERecordFormat::Wav : ERecordFormat::Wma, nQuality, span);
    }
    bool Record(const std::string& path, ERecordFormat eFormat, int nQuality,
                std::chrono::milliseconds span) {
        Graph().SetRecordFile(path);
        Graph().SetQuality(nQuality);
        if (!Graph().StartRecording(eFormat)) {
            return false;
        }
        std::this_thread::sleep_for(span);
        Graph().StopRecording();
        return true;
    }

    CTempDir m_dir;
    CSimMediaServices m_media;
    CSimMessageBoxes m_boxes;
    CSimMessageTarget m_window;
    std::unique_ptr<CAudioGraph> m_pGraph;
};

TEST_F(AudioGraphTest, GoodQualityWavReplacesTheFileAt22050HzStereo16Bit) {
    const std::string path = m_dir.File("good.wav");
    std::ofstream(path) << std::string(1 << 20, 'x');  // a larger file of the same name

    ASSERT_TRUE(Record(path, true, 1, 500ms));

    const SWavHeader header = ReadWavHeader(path);
    ASSERT_TRUE(header.bValid);
    EXPECT_EQ(header.nFormatTag, 1);
    EXPECT_EQ(header.nChannels, 2);
    EXPECT_EQ(header.nSampleRate, 22050);
    EXPECT_EQ(header.nByteRate, 88200);
    EXPECT_EQ(header.nBlockAlign, 4);
    EXPECT_EQ(header.nBitsPerSample, 16);
    EXPECT_EQ(header.nRiffBytes + 8, header.nFileBytes);  // nothing of the old file is left
    EXPECT_NEAR(header.nDataBytes / 88200.0, 0.5, 0.1);

    const SSimCaptureRequest request = m_media.LastCaptureRequest();
    ASSERT_TRUE(request.buffering);
    EXPECT_EQ(request.buffering->nBuffers, 6);
    EXPECT_EQ(request.buffering->nBufferBytes, 4410);
    EXPECT_EQ(request.buffering->nAlignment, 4);
    EXPECT_EQ(request.format, (SAudioFormat{22050, 2, 88200, 16, 4}));
}

TEST_F(AudioGraphTest, QualityOutsideTheTableSetsNoFormat) {
    const std::string path = m_dir.File("odd.wav");
    ASSERT_TRUE(Record(path, true, 7, 200ms));
    EXPECT_FALSE(m_media.LastCaptureRequest().format);
    EXPECT_EQ(ReadWavHeader(path).nSampleRate, 44100);  // what the source gives by itself
}

TEST_F(AudioGraphTest, AnEmptyRecordFileWritesTestWavInTheHomeFolder) {
    const char* pHome = std::getenv("HOME");
    const std::string oldHome = pHome ? pHome : "";
    setenv("HOME", m_dir.Path().c_str(), 1);
    const std::string fallback = m_dir.File("test.wav");

    EXPECT_TRUE(Record("", true, 0, 200ms));
    EXPECT_EQ(ReadWavHeader(fallback).nSampleRate, 11025);
    std::filesystem::remove(fallback);
    EXPECT_TRUE(Record("", false, 0, 200ms));
    EXPECT_TRUE(Discover(fallback).bOk);

    setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(AudioGraphTest, ARecordingThatCannotBeWrittenDoesNotStart) {
    EXPECT_FALSE(Record(m_dir.File("no such folder/a.wav"), true, 0, 0ms));
    EXPECT_FALSE(Graph().IsRecording());
    EXPECT_FALSE(Record(m_dir.File("no such folder/a.wma"), false, 0, 0ms));
    EXPECT_FALSE(Graph().IsRecording());
}

struct SFormatCase {
    ERecordFormat eFormat;
    int nQuality;
    const char* pAudioCaps;
    int nRate;
    const char* pName;
};

class AudioGraphFormatTest : public AudioGraphTest,
                             public ::testing::WithParamInterface<SFormatCase> {};

TEST_P(AudioGraphFormatTest, ThreeSecondsRecordPlayAndSeekAsThreeSeconds) {
    const SFormatCase& format = GetParam();
    const std::string path =
        m_dir.File(std::string("three.") + RecordFormats::Extension(format.eFormat));
    ASSERT_TRUE(Record(path, format.eFormat, format.nQuality, 3s));

    const SDiscovered found = Discover(path);
    ASSERT_TRUE(found.bOk) << path;
    EXPECT_NEAR(found.dDuration, 3.0, 0.1);
    EXPECT_EQ(found.nChannels, 2);
    EXPECT_EQ(found.nSampleRate, format.nRate);
    EXPECT_NE(found.strAudioCaps.find(format.pAudioCaps), std::string::npos) << found.strAudioCaps;

    ASSERT_TRUE(Graph().OpenPlayback(path, true));
    EXPECT_TRUE(Graph().IsPlaybackOpen());
    // An MP3 without a length in its header is measured once it plays.
    for (int n = 0; n < 100 && Graph().GetDuration() <= 0.0; ++n) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_NEAR(Graph().GetDuration(), 3.0, 0.1);
    EXPECT_TRUE(Graph().Seek(1.5, 0.0));
    EXPECT_NEAR(Graph().GetPosition(), 1.5, 0.1);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(Graph().GetPosition(), 1.6);  // it plays on the clock

    Graph().TogglePause();
    EXPECT_TRUE(Graph().IsPaused());
    const double dPaused = Graph().GetPosition();
    std::this_thread::sleep_for(200ms);
    EXPECT_NEAR(Graph().GetPosition(), dPaused, 0.02);
    Graph().TogglePause();
    EXPECT_FALSE(Graph().IsPaused());

    Graph().ClosePlayback();
    EXPECT_FALSE(Graph().IsPlaybackOpen());
    EXPECT_EQ(Graph().GetPosition(), 0.0);
    EXPECT_EQ(Graph().GetDuration(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AudioGraphFormatTest,
    ::testing::Values(SFormatCase{ERecordFormat::Wav, 2, "audio/x-wav", 44100, "Wav"},
                      SFormatCase{ERecordFormat::Wma, 1,
                                  "audio/x-wma, wmaversion=(int)2, "
                                  "bitrate=(int)96000",
                                  44100, "Wma"},
                      SFormatCase{ERecordFormat::Flac, 2, "audio/x-flac", 44100, "Flac"},
                      SFormatCase{ERecordFormat::Opus, 1, "audio/x-opus", 48000, "Opus"},
                      SFormatCase{ERecordFormat::Mp3, 0, "audio/mpeg", 44100, "Mp3"}),
    [](const auto& info) { return std::string(info.param.pName); });

TEST_F(AudioGraphTest, OpeningAFileWhileRecordingEndsTheRecordingFirst) {
    const std::string path = m_dir.File("live.wav");
    Graph().SetRecordFile(path);
    ASSERT_TRUE(Graph().StartRecording(true));
    std::this_thread::sleep_for(300ms);

    // The file being recorded opens: the recording was ended and completed.
    EXPECT_TRUE(Graph().OpenPlayback(path, false));
    EXPECT_FALSE(Graph().IsRecording());
    EXPECT_TRUE(Graph().IsPaused());
    EXPECT_NEAR(Graph().GetDuration(), 0.3, 0.15);
    const SWavHeader header = ReadWavHeader(path);
    EXPECT_EQ(header.nRiffBytes + 8, header.nFileBytes);
}

TEST_F(AudioGraphTest, NothingOpenMeansNoPositionNoSeekAndNoToggle) {
    Graph().TogglePause();
    EXPECT_FALSE(Graph().IsPaused());
    EXPECT_EQ(Graph().GetPosition(), 0.0);
    EXPECT_FALSE(Graph().Seek(1.0, 0.0));

    // A file that cannot be played leaves nothing open either.
    EXPECT_FALSE(Graph().OpenPlayback(m_dir.File("gone.wav"), true));
    EXPECT_FALSE(Graph().IsPlaybackOpen());
    EXPECT_EQ(Graph().GetDuration(), 0.0);
    EXPECT_FALSE(Graph().Seek(1.0, 0.0));
}

TEST_F(AudioGraphTest, OpenTakesAPrefixWhereSelectDeviceNeedsTheWholeEntry) {
    m_media.SetCaptureDevices({Card("HDMI Capture"), Card("USB Audio CODEC", {{"Mic"}, {"Line"}})});
    Graph().SetDeviceName("USB Audio");
    Graph().Open(&m_window);
    EXPECT_EQ(Graph().DeviceIndex(), 1);

    Graph().SetDeviceIndex(0);
    EXPECT_FALSE(Graph().SelectDevice("USB Audio", ""));
    EXPECT_EQ(Graph().DeviceIndex(), 0);

    // The stored name holds the entry, and the stored port name holds a pin.
    EXPECT_TRUE(Graph().SelectDevice("Front: USB Audio CODEC (hw:1)", "Line In"));
    EXPECT_EQ(Graph().DeviceIndex(), 1);
    EXPECT_EQ(Graph().PinIndex(), 1);
    EXPECT_FALSE(Graph().SelectDevice("USB Audio CODEC", "Aux"));
    EXPECT_EQ(Graph().PinIndex(), 1);
    EXPECT_TRUE(m_boxes.Shown().empty());
}

TEST_F(AudioGraphTest, PinListHoldsInputsAndSelectPinSwitchesOnExactlyTheOneChosen) {
    SSimPin unknown{"Phantom"};
    unknown.bDirectionFails = true;
    m_media.SetCaptureDevices({Card("Card", {{"Mic"}, unknown, {"Line"}, {"CD"}})});

    ASSERT_TRUE(Graph().OpenDevice(0));
    ASSERT_EQ(Graph().PinCount(), 4);
    EXPECT_EQ(Graph().PinListEntry(0), "Mic");
    EXPECT_EQ(Graph().PinListEntry(1), "<ERROR>");
    EXPECT_EQ(Graph().PinListEntry(2), "Line");
    EXPECT_EQ(Graph().PinListEntry(3), "CD");

    EXPECT_EQ(Graph().SelectPin(2), S_OK);
    // Pins as laid out: Mic, Phantom, Line, CD, Capture.
    EXPECT_EQ(m_media.InputStates(0), (std::vector<bool>{false, false, true, false, false}));
}

TEST_F(AudioGraphTest, ListsKeepTheFirstTenEntriesOfAtMost127Bytes) {
    std::vector<SSimCaptureDevice> cards;
    std::vector<SSimPin> pins;
    for (int n = 0; n < 12; ++n) {
        cards.push_back(Card("Card " + std::to_string(n) + std::string(200, 'c')));
        pins.push_back({"Input " + std::to_string(n)});
    }
    cards[0] = Card(std::string(126, 'a') + "\xC3\xA9" + "z", pins);  // é across byte 127
    m_media.SetCaptureDevices(cards);

    EXPECT_EQ(Graph().DeviceCount(), 10);
    EXPECT_EQ(Graph().DeviceListEntry(0), std::string(126, 'a'));
    EXPECT_EQ(Graph().DeviceListEntry(9).size(), 127u);
    ASSERT_TRUE(Graph().OpenDevice(0));
    EXPECT_EQ(Graph().PinCount(), 10);
    EXPECT_EQ(Graph().PinListEntry(9), "Input 9");
    EXPECT_FALSE(Graph().OpenDevice(10));
}

// The owner knows the language file; the graph asks it on every message.
TEST_F(AudioGraphTest, MessagesComeFromTheOwnersProviderOrTheirDefault) {
    std::vector<std::string> asked;
    Graph().SetTextProvider([&asked](std::string_view key) {
        asked.emplace_back(key);
        return key == "MESSAGE_3" ? std::string("WMA fehlt") : std::string();
    });
    m_media.SetElementMissing("avenc_wmav2", true);

    Graph().SetRecordFile(m_dir.File("none.wma"));
    EXPECT_FALSE(Graph().StartRecording(false));
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("none.wma")));

    // No card at all: the built-in text of a key the provider lacks.
    m_media.SetCaptureDevices({});
    EXPECT_FALSE(Graph().SelectDevice("Card", "Line"));
    ASSERT_EQ(m_boxes.Shown().size(), 2u);
    EXPECT_EQ(m_boxes.Shown()[0].text, "WMA fehlt");
    EXPECT_EQ(m_boxes.Shown()[0].caption, "Kestrel Radio");
    EXPECT_EQ(m_boxes.Shown()[0].icon, CMessageBoxes::EIcon::Error);
    EXPECT_EQ(m_boxes.Shown()[1].text, "Can't find sound card");
    EXPECT_EQ(Graph().DeviceCount(), 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"MESSAGE_3", "MESSAGE_4"}));

    // Without a provider: the defaults.
    CAudioGraph plain(m_media, m_boxes);
    EXPECT_EQ(plain.LoadText("MESSAGE_3", "Built in"), "Built in");
}

TEST_F(AudioGraphTest, PlaybackGoesToTheOutputNamedLikeTheCaptureDevice) {
    m_media.SetCaptureDevices({Card("USB Audio")});
    m_media.SetRenderers({"HDMI Output", "USB Audio Analog Stereo"});
    Graph().OpenPlayback(m_dir.File("any.wav"), true);
    EXPECT_EQ(m_media.LastRenderer(), "USB Audio Analog Stereo");

    m_media.SetRenderers({"HDMI Output"});
    const std::string path = m_dir.File("short.wav");
    ASSERT_TRUE(Record(path, true, 0, 200ms));
    EXPECT_TRUE(Graph().OpenPlayback(path, true));
    EXPECT_EQ(m_media.LastRenderer(), "");  // the default output
}

}  // namespace
