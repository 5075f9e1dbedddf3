#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/media/MediaFileRepair.h"
#include "platform/media/SimMediaServices.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

using Bytes = std::vector<char>;

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Put32(Bytes& bytes, size_t nAt, uint32_t nValue) {
    for (size_t n = 0; n < 4; ++n) {
        bytes[nAt + n] = static_cast<char>(nValue >> (8 * n));
    }
}

void Put64(Bytes& bytes, size_t nAt, uint64_t nValue) {
    Put32(bytes, nAt, static_cast<uint32_t>(nValue));
    Put32(bytes, nAt + 4, static_cast<uint32_t>(nValue >> 32));
}

// A 16-bit stereo WAV file at 22050 Hz whose header states nStated data
// bytes while nOnDisk follow it.
void WriteWav(const std::string& path, uint32_t nStated, uint32_t nOnDisk) {
    Bytes bytes(44 + nOnDisk, '\x01');
    std::memcpy(bytes.data(), "RIFF", 4);
    Put32(bytes, 4, 36 + nStated);
    std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
    Put32(bytes, 16, 16);
    Put32(bytes, 20, 1 | 2 << 16);   // PCM, two channels
    Put32(bytes, 24, 22050);         // rate
    Put32(bytes, 28, 22050 * 4);     // bytes per second
    Put32(bytes, 32, 4 | 16 << 16);  // block, bits
    std::memcpy(bytes.data() + 36, "data", 4);
    Put32(bytes, 40, nStated);
    WriteBytes(path, bytes);
}

// A WMA recording of about the span, made by the recording graph itself.
std::string RecordWma(const CTempDir& dir, std::chrono::milliseconds span) {
    const std::string path = dir.File("whole.wma");
    CSimMediaServices media;
    MediaDeviceList devices;
    EXPECT_TRUE(media.EnumerateCaptureDevices(devices));
    std::unique_ptr<CCaptureGraph> pGraph = media.CreateCaptureGraph();
    EXPECT_EQ(pGraph->AddCaptureSource(*devices.at(0)), S_OK);
    EXPECT_EQ(pGraph->SetAsfOutput(path), S_OK);
    EXPECT_EQ(pGraph->ConfigureAsf(128000), S_OK);
    EXPECT_EQ(pGraph->RenderCapture(), S_OK);
    EXPECT_TRUE(MediaSucceeded(pGraph->Run()));
    std::this_thread::sleep_for(span);
    EXPECT_EQ(pGraph->StopWhenReady(), S_OK);
    return path;
}

size_t Find(const Bytes& bytes, const std::array<unsigned char, 16>& guid) {
    const auto at =
        std::search(bytes.begin(), bytes.end(), guid.begin(), guid.end(),
                    [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
    return static_cast<size_t>(at - bytes.begin());
}

constexpr std::array<unsigned char, 16> kFileProperties{
    0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::array<unsigned char, 16> kDataObject{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

}  // namespace

TEST(MediaFileRepair, AWavHeaderThatClaimsTooMuchIsCutToWholeFramesOnDisk) {
    CTempDir dir;
    const std::string path = dir.File("torn.wav");
    WriteWav(path, 1'000'000, 4003);  // the header of a longer write; a torn last frame

    const SMediaFileCheck check = CheckWavFile(path);
    EXPECT_TRUE(check.bValid);
    EXPECT_TRUE(check.bRepaired);
    EXPECT_DOUBLE_EQ(check.dSeconds, 4000.0 / (22050 * 4));
    const SWavHeader header = ReadWavHeader(path);
    ASSERT_TRUE(header.bValid);
    EXPECT_EQ(header.nFileBytes, 44u + 4000u);
    EXPECT_EQ(header.nDataBytes, 4000u);
    EXPECT_EQ(header.nRiffBytes + 8, header.nFileBytes);

    // Checked again it is whole, and left as it is.
    const Bytes repaired = ReadBytes(path);
    const SMediaFileCheck again = CheckWavFile(path);
    EXPECT_TRUE(again.bValid);
    EXPECT_FALSE(again.bRepaired);
    EXPECT_EQ(ReadBytes(path), repaired);

    // A header that claims nothing is made to state what is there.
    WriteWav(path, 0, 8820);
    EXPECT_TRUE(CheckWavFile(path).bRepaired);
    EXPECT_EQ(ReadWavHeader(path).nDataBytes, 8820u);
}

TEST(MediaFileRepair, FilesItCannotReadAreLeftAlone) {
    CTempDir dir;
    const std::string text = dir.File("notes.wav");
    std::ofstream(text) << "RIFF but not a wave file at all\n";
    const Bytes before = ReadBytes(text);
    EXPECT_FALSE(CheckWavFile(text).bValid);
    EXPECT_FALSE(CheckAsfFile(text).bValid);
    EXPECT_EQ(ReadBytes(text), before);
    EXPECT_FALSE(CheckWavFile(dir.File("missing.wav")).bValid);
}

// An ASF file as a failed write leaves it: the header as it was written at
// the start (no size, no packets, no duration) and a torn last packet.
TEST(MediaFileRepair, AnAsfFileCutByAFailedWriteGetsItsPacketsAndDurationBack) {
    CTempDir dir;
    const std::string whole = RecordWma(dir, 2500ms);
    const SMediaFileCheck wholeCheck = CheckAsfFile(whole);
    ASSERT_TRUE(wholeCheck.bValid);
    EXPECT_FALSE(wholeCheck.bRepaired);
    const SDiscovered wholeFound = Discover(whole);
    ASSERT_TRUE(wholeFound.bOk);
    EXPECT_NEAR(wholeCheck.dSeconds, wholeFound.dDuration, 0.05);

    Bytes bytes = ReadBytes(whole);
    const size_t nProperties = Find(bytes, kFileProperties);
    const size_t nData = Find(bytes, kDataObject);
    ASSERT_LT(nProperties, bytes.size());
    ASSERT_LT(nData, bytes.size());
    Put64(bytes, nProperties + 40, 0);  // file size
    Put64(bytes, nProperties + 56, 0);  // packets
    Put64(bytes, nProperties + 64, 0);  // play duration
    Put64(bytes, nProperties + 72, 0);  // send duration
    Put64(bytes, nData + 16, 50);       // data object: no packets yet
    Put64(bytes, nData + 40, 0);
    bytes.resize(bytes.size() - 1000);  // into the last packet
    const std::string torn = dir.File("torn.wma");
    WriteBytes(torn, bytes);

    const SMediaFileCheck check = CheckAsfFile(torn);
    EXPECT_TRUE(check.bValid);
    EXPECT_TRUE(check.bRepaired);
    // One packet (0.3 s at 128 kbit/s) is lost with its torn end.
    EXPECT_GT(check.dSeconds, wholeCheck.dSeconds - 0.5);
    EXPECT_LT(check.dSeconds, wholeCheck.dSeconds);
    const SDiscovered found = Discover(torn);
    ASSERT_TRUE(found.bOk);
    EXPECT_NEAR(found.dDuration, check.dSeconds, 0.1);
    EXPECT_FALSE(CheckAsfFile(torn).bRepaired);  // whole now
}
