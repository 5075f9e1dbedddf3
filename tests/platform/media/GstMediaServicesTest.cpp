#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/media/GstMediaServices.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// Silence, so that a machine with speakers stays quiet.
void WriteSilentWav(const std::string& path, int nSeconds) {
    const uint32_t nRate = 44100;
    const uint32_t nDataBytes = nRate * 4 * static_cast<uint32_t>(nSeconds);
    std::ofstream out(path, std::ios::binary);
    auto put32 = [&](uint32_t n) {
        for (int i = 0; i < 4; ++i) {
            out.put(static_cast<char>(n >> (8 * i)));
        }
    };
    auto put16 = [&](uint16_t n) {
        out.put(static_cast<char>(n));
        out.put(static_cast<char>(n >> 8));
    };
    out.write("RIFF", 4);
    put32(36 + nDataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(nRate);
    put32(nRate * 4);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(nDataBytes);
    const std::string silence(nDataBytes, '\0');
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

double Position(CPlaybackGraph& graph) {
    double dSeconds = -1.0;
    EXPECT_EQ(graph.GetPosition(dSeconds), S_OK);
    return dSeconds;
}

}  // namespace

// Runs on whatever this machine has, down to no sound hardware at all: then
// the devices are none and playback keeps to the clock on a null sink.
TEST(GstMediaServices, PlaysOnTheClockWhateverTheMachineHas) {
    CTempDir dir;
    const std::string path = dir.File("silence.wav");
    WriteSilentWav(path, 2);
    CGstMediaServices media;

    MediaDeviceList devices;
    if (media.EnumerateCaptureDevices(devices)) {
        for (const auto& pDevice : devices) {
            EXPECT_FALSE(pDevice->DisplayName().empty());
        }
    }
    MediaDeviceList renderers;
    media.EnumerateRenderers(renderers);

    std::unique_ptr<CPlaybackGraph> pGraph = media.CreatePlaybackGraph();
    ASSERT_TRUE(pGraph);
    ASSERT_EQ(pGraph->RenderFile(path), S_OK);
    double dDuration = 0.0;
    ASSERT_EQ(pGraph->GetDuration(dDuration), S_OK);
    EXPECT_NEAR(dDuration, 2.0, 0.01);
    EXPECT_NEAR(Position(*pGraph), 0.0, 0.01);

    EXPECT_TRUE(MediaSucceeded(pGraph->Run()));
    std::this_thread::sleep_for(500ms);
    const double dPlayed = Position(*pGraph);
    EXPECT_GT(dPlayed, 0.3);
    EXPECT_LT(dPlayed, 1.2);

    EXPECT_TRUE(MediaSucceeded(pGraph->Pause()));
    const double dPaused = Position(*pGraph);
    std::this_thread::sleep_for(300ms);
    EXPECT_NEAR(Position(*pGraph), dPaused, 0.02);

    EXPECT_EQ(pGraph->SetPosition(1.5), S_OK);
    EXPECT_NEAR(Position(*pGraph), 1.5, 0.05);
}

TEST(GstMediaServices, AFileWithoutAudioIsNotRendered) {
    CTempDir dir;
    const std::string path = dir.File("notes.wav");
    std::ofstream(path) << "not a recording at all\n";
    CGstMediaServices media;
    std::unique_ptr<CPlaybackGraph> pGraph = media.CreatePlaybackGraph();
    ASSERT_TRUE(pGraph);

    EXPECT_TRUE(MediaFailed(pGraph->RenderFile(path)));
    EXPECT_TRUE(MediaFailed(pGraph->RenderFile(dir.File("missing.wav"))));
    double dSeconds = 0.0;
    EXPECT_TRUE(MediaFailed(pGraph->GetDuration(dSeconds)));
    EXPECT_TRUE(MediaFailed(pGraph->GetPosition(dSeconds)));
}
