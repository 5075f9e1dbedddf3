#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/RadioCore.h"
#include "platform/window/SimMessageTarget.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/system/Amixer.h"
#include "tests/system/AudioDecode.h"
#include "tests/system/GuestChild.h"
#include "tests/system/GuestRig.h"
#include "tests/system/SystemWait.h"

// Recording and playback through the real GStreamer graphs on real ALSA
// devices: a tone played into one side of snd-aloop is recorded from the
// other, as WAV and as WMA, and played back to the end.
namespace {

using namespace std::chrono_literals;

constexpr double kToneHz = 1234.0;
constexpr int kRate = 44100;
constexpr int kDummyCard = 1;

class RecordingSystemTest : public testing::Test {
protected:
    RecordingSystemTest() { m_strTone = m_rig.m_dir.File("tone.wav"); }
    ~RecordingSystemTest() override {
        m_pCore.reset();
        for (CGuestChild& player : m_players) {
            player.Kill();
        }
    }

    // The tone into both playback sides of the loopback card, so that either
    // capture side hears it.
    void PlayTone() {
        ASSERT_TRUE(WriteToneWav(m_strTone, kToneHz, 60.0, kRate));
        for (size_t n = 0; n < 2; ++n) {
            const std::string device = "plughw:Loopback," + std::to_string(n);
            ASSERT_TRUE(m_players[n].Start({"aplay", "-q", "-D", device, m_strTone}));
        }
        std::this_thread::sleep_for(500ms);
    }
    void StopTone() {
        for (CGuestChild& player : m_players) {
            player.Kill();
        }
    }
    // The name the media back-end gives the loopback card's capture; both
    // of its PCM devices go by it.
    std::string LoopbackName() {
        MediaDeviceList devices;
        m_rig.m_media.EnumerateCaptureDevices(devices);
        for (const auto& pDevice : devices) {
            if (pDevice->DisplayName().find("Loopback") != std::string::npos) {
                return pDevice->DisplayName();
            }
        }
        return {};
    }
    CRadioCore& Core() {
        if (!m_pCore) {
            m_pCore = std::make_unique<CRadioCore>(m_rig.Services(), m_rig.m_profile);
            m_pCore->Init(&m_window);
        }
        return *m_pCore;
    }
    // Records for a while and returns the file, catalogued.
    std::string Record(bool bWav, int nQuality) {
        m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", bWav ? 1 : 0);
        m_rig.m_profile.WriteProfileInt("SET", "QUALITY", nQuality);
        if (!Core().StartRecording()) {
            ADD_FAILURE() << "the recording does not start: " << Boxes();
            return {};
        }
        WaitUntil([] { return false; }, 3s);
        Core().StopRecording();
        return Core().RecordFile();
    }
    std::string Boxes() const {
        std::string text;
        for (const auto& box : m_rig.m_boxes.Shown()) {
            text += "[" + box.text + "] ";
        }
        return text;
    }
    // The tone in a decoded recording, its first half second left out (the
    // device and the encoder start).
    static void ExpectTone(std::vector<int16_t> samples, const std::string& strWhat) {
        ASSERT_GT(samples.size(), static_cast<size_t>(kRate)) << strWhat << " is too short";
        samples.erase(samples.begin(), samples.begin() + kRate / 2);
        EXPECT_NEAR(ToneFrequency(samples, kRate), kToneHz, kToneHz * 0.01) << strWhat;
        EXPECT_GT(ToneShare(samples.data(), samples.size(), 1, kRate, kToneHz), 0.8) << strWhat;
    }
    // Whether a capture substream of the card's first PCM device runs, as
    // the kernel tells it.
    static bool CaptureRunning(int nCard) {
        const std::filesystem::path pcm = "/proc/asound/card" + std::to_string(nCard) + "/pcm0c";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(pcm, error)) {
            std::ifstream status(entry.path() / "status");
            std::stringstream text;
            text << status.rdbuf();
            if (text.str().find("RUNNING") != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::vector<std::string> CataloguedFiles() {
        std::vector<std::string> files;
        const SDbResult result = m_rig.m_dataSource.Query("select FileName from FileList");
        for (const auto& row : result.m_rows) {
            if (const auto* pText = std::get_if<std::string>(&row.at(0))) {
                files.push_back(*pText);
            }
        }
        return files;
    }

    CGuestRig m_rig;
    CSimMessageTarget m_window;
    std::unique_ptr<CRadioCore> m_pCore;
    std::string m_strTone;
    CGuestChild m_players[2];
};

TEST_F(RecordingSystemTest, ToneIsRecordedAsWavAndWmaAndPlaysToTheEnd) {
    const std::string strLoopback = LoopbackName();
    ASSERT_FALSE(strLoopback.empty());
    m_rig.m_profile.WriteProfileString("SET", "DeviceName", strLoopback);
    PlayTone();

    const std::string strWav = Record(true, 2);
    ASSERT_TRUE(std::filesystem::exists(strWav)) << strWav;
    const SWavHeader header = ReadWavHeader(strWav);
    ASSERT_TRUE(header.bValid);
    EXPECT_EQ(header.nChannels, 2);
    EXPECT_EQ(header.nSampleRate, kRate);
    EXPECT_EQ(header.nBitsPerSample, 16);
    EXPECT_TRUE(Discover(strWav).bOk);
    ExpectTone(DecodeToMono(strWav, kRate), "the WAV recording");

    std::this_thread::sleep_for(1s);  // a new second, a new file name
    const std::string strWma = Record(false, 0);
    ASSERT_TRUE(std::filesystem::exists(strWma)) << strWma;
    const SDiscovered wma = Discover(strWma);
    EXPECT_TRUE(wma.bOk);
    EXPECT_NE(wma.strAudioCaps.find("wma"), std::string::npos) << wma.strAudioCaps;
    ExpectTone(DecodeToMono(strWma, kRate), "the WMA recording");

    EXPECT_EQ(CataloguedFiles(), (std::vector<std::string>{strWav, strWma}));
    StopTone();

    // Played through the renderer of the capture card, to its end.
    CAudioGraph& graph = Core().AudioGraph();
    ASSERT_TRUE(graph.OpenPlayback(strWav, true));
    const double dDuration = graph.GetDuration();
    EXPECT_GT(dDuration, 1.0);
    const auto limit = std::chrono::milliseconds(static_cast<int>(dDuration * 1000)) + 30s;
    EXPECT_TRUE(WaitUntil([&] { return graph.GetPosition() >= dDuration - 0.05; }, limit))
        << "stopped at " << graph.GetPosition() << " of " << dDuration;
    graph.ClosePlayback();
    EXPECT_EQ(graph.GetPosition(), 0.0);
    EXPECT_TRUE(m_rig.m_boxes.Shown().empty()) << Boxes();
}

// The options dialog stores a sound card by its mixer's name and an input by
// its mixer line; the recording must come from that card's capture, with
// that input switched on.
TEST_F(RecordingSystemTest, RecordsFromTheCardAndInputTheMixerNames) {
    m_rig.m_profile.WriteProfileString("SET", "DeviceName", "Dummy Mixer");
    m_rig.m_profile.WriteProfileString("SET", "PinName", "Line");
    m_rig.m_profile.WriteProfileInt("SET", "PinType", 0x1002);
    ASSERT_TRUE(CAmixer::Set(kDummyCard, "Line", {"nocap"}));
    ASSERT_TRUE(CAmixer::Set(kDummyCard, "Mic", {"cap"}));
    m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 1);
    ASSERT_TRUE(Core().StartRecording()) << Boxes();
    EXPECT_TRUE(WaitUntil([] { return CaptureRunning(kDummyCard); }, 20s))
        << "the dummy card's capture never ran";
    EXPECT_EQ(CAmixer::CaptureOn(kDummyCard, "Line"), std::optional<bool>(true));
    EXPECT_EQ(CAmixer::CaptureOn(kDummyCard, "Mic"), std::optional<bool>(false));
    Core().StopRecording();
}

}  // namespace
