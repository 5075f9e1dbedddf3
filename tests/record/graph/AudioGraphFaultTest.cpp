#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/dialogs/SimMessageBoxes.h"
#include "platform/media/MediaFileRepair.h"
#include "platform/media/SimMediaServices.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "record/AudioGraph.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/platform/media/SmallDisk.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// Waits for things that happen in real time; never a measure of speed.
constexpr int kNoticeWaitMs = 60'000;
constexpr uint64_t kDiskBytes = 4 << 20;
// Audio bytes per second: WAV and FLAC (at most) at best quality, the
// others at normal quality.
constexpr uint64_t kWavBytesPerSecond = 44100 * 4;
constexpr uint64_t kWmaBytesPerSecond = 64000 / 8;
constexpr uint64_t kMp3BytesPerSecond = 128000 / 8;

bool IsLossless(ERecordFormat eFormat) {
    return eFormat == ERecordFormat::Wav || eFormat == ERecordFormat::Flac;
}

class AudioGraphFaultTest : public ::testing::Test {
protected:
    AudioGraphFaultTest() {
        m_media.SetRealAudioOutput(false);
        m_graph.Open(&m_window);
    }

    bool Start(const std::string& path, ERecordFormat eFormat) {
        m_graph.SetRecordFile(path);
        m_graph.SetQuality(IsLossless(eFormat) ? 2 : 0);
        return m_graph.StartRecording(eFormat);
    }

    int Notices() const { return m_window.Count(WM_GRAPH_NOTIFY, false); }
    bool WaitForNotice() const { return m_window.WaitFor(WM_GRAPH_NOTIFY, 1, kNoticeWaitMs); }

    // Until the writer has taken some audio (polled, not timed).
    bool WaitForAudio(double dSeconds) const {
        for (int n = 0; n < kNoticeWaitMs / 20; ++n) {
            if (m_graph.RecordedSeconds() >= dSeconds) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // The file is whole and holds what the graph says it wrote.
    void ExpectComplete(const std::string& path, ERecordFormat eFormat) const {
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        const double dSeconds = m_graph.RecordedSeconds();
        EXPECT_GT(dSeconds, 0.0);
        if (eFormat == ERecordFormat::Wav) {
            const SWavHeader header = ReadWavHeader(path);
            ASSERT_TRUE(header.bValid);
            EXPECT_TRUE(header.Whole());
            EXPECT_EQ(header.nDataBytes % header.nBlockAlign, 0u);
            EXPECT_NEAR(dSeconds, static_cast<double>(header.nDataBytes) / header.nByteRate, 1e-9);
        } else if (eFormat == ERecordFormat::Wma) {
            const SMediaFileCheck check = CheckAsfFile(path);
            EXPECT_TRUE(check.bValid);
            EXPECT_FALSE(check.bRepaired) << "the header did not match the packets";
        }
        const SDiscovered found = Discover(path);
        ASSERT_TRUE(found.bOk) << path;
        // Within a buffer of 50 ms, and a frame of the encoder (46 ms for WMA).
        EXPECT_NEAR(found.dDuration, dSeconds, 0.1);
    }

    CTempDir m_dir;
    CSimMediaServices m_media;
    CSimMessageBoxes m_boxes;
    CSimMessageTarget m_window;
    CAudioGraph m_graph{m_media, m_boxes};
};

class AudioGraphFullDiskTest : public AudioGraphFaultTest,
                               public ::testing::WithParamInterface<ERecordFormat> {
protected:
    void SetUp() override {
        if (!m_disk.IsMounted()) {
            GTEST_SKIP() << "no small disk to fill (" << m_disk.Problem()
                         << "); the full-disk cases need root";
        }
    }

    ERecordFormat Format() const { return GetParam(); }
    std::string RecordFile() const {
        return m_disk.File(std::string("rec.") + RecordFormats::Extension(Format()));
    }
    // Bytes the recording takes in a second and a half (WAV) or three (WMA
    // and MP3, whose packets go out about every half second).
    uint64_t AudioRoom() const {
        switch (Format()) {
            case ERecordFormat::Wav:
                return 3 * kWavBytesPerSecond / 2;
            case ERecordFormat::Mp3:
                return 3 * kMp3BytesPerSecond;
            case ERecordFormat::Wma:
            case ERecordFormat::Flac:
            case ERecordFormat::Opus:
                break;
        }
        return 3 * kWmaBytesPerSecond;
    }
    // FLAC and Opus shrink the simulated station to a few hundred bytes a
    // second: a disk would take minutes to fill.
    bool FillsSlowly() const {
        return Format() == ERecordFormat::Flac || Format() == ERecordFormat::Opus;
    }

    CSmallDisk m_disk{kDiskBytes};
};

}  // namespace

TEST_P(AudioGraphFullDiskTest, AFillingDiskEndsTheRecordingWithItsFileCompleteInTheReserve) {
    if (FillsSlowly()) {
        GTEST_SKIP() << "the encoder fills no disk in a test's time";
    }
    ASSERT_TRUE(m_disk.LeaveFree(kDefaultFreeSpaceReserve + AudioRoom()));
    ASSERT_TRUE(Start(RecordFile(), Format()));

    ASSERT_TRUE(WaitForNotice());
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    EXPECT_FALSE(m_graph.RecordFaultDetail().empty());
    EXPECT_TRUE(m_graph.IsRecording());  // until the window stops it

    m_graph.StopRecording();
    EXPECT_FALSE(m_graph.IsRecording());
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    EXPECT_TRUE(m_graph.RecordFileKept());
    EXPECT_GT(m_graph.RecordedSeconds(), 0.5);
    ExpectComplete(RecordFile(), Format());
    // The writer completed the file from the reserve and left most of it.
    EXPECT_GT(m_disk.FreeBytes(), kDefaultFreeSpaceReserve / 2);
    EXPECT_EQ(Notices(), 1);
}

// Another writer takes the disk between two checks, or the watch is off: the
// failed write ends the recording, and the file is repaired.
TEST_P(AudioGraphFullDiskTest, AFailedWriteEndsTheRecordingAndTheFileIsRepaired) {
    if (Format() != ERecordFormat::Wav && Format() != ERecordFormat::Wma) {
        GTEST_SKIP() << "only WAV and WMA headers state a length to repair";
    }
    m_graph.SetFreeSpaceReserve(0);
    ASSERT_TRUE(m_disk.LeaveFree(AudioRoom()));
    ASSERT_TRUE(Start(RecordFile(), Format()));

    ASSERT_TRUE(WaitForNotice());
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    m_graph.StopRecording();
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    EXPECT_TRUE(m_graph.RecordFileKept());
    EXPECT_GT(m_graph.RecordedSeconds(), 0.5);
    ExpectComplete(RecordFile(), Format());
    EXPECT_EQ(Notices(), 1);
}

TEST_P(AudioGraphFullDiskTest, AFullDiskFailsTheStartLeavesNoFileAndAFreedDiskRecordsAgain) {
    ASSERT_TRUE(m_disk.LeaveFree(kDefaultFreeSpaceReserve / 2));
    EXPECT_FALSE(Start(RecordFile(), Format()));
    EXPECT_FALSE(m_graph.IsRecording());
    EXPECT_FALSE(std::filesystem::exists(RecordFile()));
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    EXPECT_FALSE(m_graph.RecordFileKept());
    EXPECT_EQ(m_graph.RecordedSeconds(), 0.0);

    // A file of the same name is not touched by a start that fails.
    std::ofstream(RecordFile()) << "an older recording";
    EXPECT_FALSE(Start(RecordFile(), Format()));
    std::ifstream older(RecordFile());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(older), {}), "an older recording");

    m_disk.Unfill();
    ASSERT_TRUE(Start(RecordFile(), Format()));
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::None);
    ASSERT_TRUE(WaitForAudio(1.0));
    m_graph.StopRecording();
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::None);
    EXPECT_TRUE(m_graph.RecordFileKept());
    ExpectComplete(RecordFile(), Format());
    EXPECT_EQ(Notices(), 0);
}

// Whether the first failed write comes before the start is through or after,
// the failure is told once (by the start or by a notice) and leaves no file.
TEST_P(AudioGraphFullDiskTest, AFailureOfTheFirstWritesIsToldOnceAndLeavesNoFile) {
    m_graph.SetFreeSpaceReserve(0);
    ASSERT_TRUE(m_disk.LeaveFree(0));
    const bool bStarted = Start(RecordFile(), Format());
    if (bStarted) {
        ASSERT_TRUE(WaitForNotice());
        m_graph.StopRecording();
    }
    EXPECT_EQ(Notices(), bStarted ? 1 : 0);
    EXPECT_NE(m_graph.RecordFault(), ECaptureFault::None);
    EXPECT_FALSE(m_graph.RecordFileKept());
    EXPECT_EQ(m_graph.RecordedSeconds(), 0.0);
    EXPECT_FALSE(std::filesystem::exists(RecordFile()));
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioGraphFullDiskTest,
                         ::testing::Values(ERecordFormat::Wav, ERecordFormat::Wma,
                                           ERecordFormat::Flac, ERecordFormat::Opus,
                                           ERecordFormat::Mp3),
                         [](const auto& info) {
                             return std::string(RecordFormats::Extension(info.param));
                         });

// What demo mode and the window tests use: the same notice and outcome.
TEST_F(AudioGraphFaultTest, TheSimulatedBackEndFailsARunningRecordingOnRequest) {
    EXPECT_FALSE(m_media.FailRecording(ECaptureFault::WriteError));  // none runs

    const std::string wav = m_dir.File("write.wav");
    ASSERT_TRUE(Start(wav, ERecordFormat::Wav));
    ASSERT_TRUE(WaitForAudio(0.3));
    ASSERT_TRUE(m_media.FailRecording(ECaptureFault::WriteError));
    ASSERT_TRUE(WaitForNotice());
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::WriteError);
    m_graph.StopRecording();
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::WriteError);
    ExpectComplete(wav, ERecordFormat::Wav);

    m_window.Clear();
    const std::string wma = m_dir.File("lost.wma");
    ASSERT_TRUE(Start(wma, ERecordFormat::Wma));
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::None);  // a new recording starts clean
    ASSERT_TRUE(WaitForAudio(0.3));
    ASSERT_TRUE(m_media.FailRecording(ECaptureFault::DeviceLost));
    ASSERT_TRUE(WaitForNotice());
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DeviceLost);
    m_graph.StopRecording();
    ExpectComplete(wma, ERecordFormat::Wma);

    m_window.Clear();
    const std::string full = m_dir.File("full.wav");
    ASSERT_TRUE(Start(full, ERecordFormat::Wav));
    ASSERT_TRUE(WaitForAudio(0.3));
    m_media.SetDiskFull(true);
    ASSERT_TRUE(WaitForNotice());
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    m_graph.StopRecording();
    ExpectComplete(full, ERecordFormat::Wav);

    const std::string none = m_dir.File("none.wav");
    EXPECT_FALSE(Start(none, ERecordFormat::Wav));
    EXPECT_FALSE(std::filesystem::exists(none));
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::DiskFull);
    m_media.SetDiskFull(false);
    EXPECT_TRUE(Start(none, ERecordFormat::Wav));
    m_graph.StopRecording();
    EXPECT_EQ(m_graph.RecordFault(), ECaptureFault::None);
    EXPECT_EQ(Notices(), 1);
}
