#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/sdr/FmStereoSynth.h"
#include "platform/sdr/IqFile.h"
#include "tests/support/TempDir.h"

namespace {

constexpr double kRate = 960'000;
using EFormat = CIqFile::EFormat;

std::vector<std::complex<float>> Air(size_t nSamples) {
    CFmStereoSynth::SStation station;
    station.dOffsetHz = -200'000;
    station.left = station.right = {{1000, 0.4}};
    std::vector<std::complex<float>> iq;
    CFmStereoSynth(kRate, {station}, 0.05).Generate(iq, nSamples);
    for (auto& sample : iq) {
        sample *= 0.5f;  // inside full scale, noise and all
    }
    return iq;
}

std::string Encoded(EFormat eFormat, const std::vector<std::complex<float>>& iq) {
    std::string bytes;
    for (const auto& sample : iq) {
        for (const float f : {sample.real(), sample.imag()}) {
            if (eFormat == EFormat::Cu8) {
                bytes += static_cast<char>(std::lround(f * 127.5f + 127.5f));
            } else if (eFormat == EFormat::Cs16) {
                const auto n = static_cast<int16_t>(std::lround(f * 32767.0f));
                bytes += static_cast<char>(n & 0xFF);
                bytes += static_cast<char>((n >> 8) & 0xFF);
            } else {
                char raw[4];
                std::memcpy(raw, &f, 4);
                bytes.append(raw, 4);
            }
        }
    }
    return bytes;
}

std::string Le(uint32_t n, int nBytes) {
    std::string bytes;
    for (int i = 0; i < nBytes; ++i) {
        bytes += static_cast<char>((n >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string Wav(EFormat eFormat, const std::string& data, uint16_t nChannels = 2,
                double dRate = kRate) {
    const uint16_t nBits = eFormat == EFormat::Cu8 ? 8 : eFormat == EFormat::Cs16 ? 16 : 32;
    const uint16_t nCode = eFormat == EFormat::Cf32 ? 3 : 1;
    const uint32_t nBlock = nChannels * nBits / 8;
    return "RIFF" + Le(static_cast<uint32_t>(36 + data.size()), 4) + "WAVEfmt " + Le(16, 4) +
           Le(nCode, 2) + Le(nChannels, 2) + Le(static_cast<uint32_t>(dRate), 4) +
           Le(static_cast<uint32_t>(dRate) * nBlock, 4) + Le(nBlock, 2) + Le(nBits, 2) + "data" +
           Le(static_cast<uint32_t>(data.size()), 4) + data;
}

void Write(const std::string& strPath, const std::string& bytes) {
    std::ofstream(strPath, std::ios::binary) << bytes;
}

std::vector<std::complex<float>> ReadBack(CIqFile& file, size_t nSamples) {
    std::vector<std::complex<float>> iq(nSamples);
    std::string strWhy;
    EXPECT_TRUE(file.Read(iq.data(), iq.size(), strWhy)) << strWhy;
    return iq;
}

TEST(IqFileTest, EachFormatReadsBackWhatWasRecordedRawOrWav) {
    CTempDir dir;
    const std::vector<std::complex<float>> air = Air(20'000);
    for (const auto& [eFormat, fTolerance] :
         {std::pair{EFormat::Cu8, 1.0f / 127}, std::pair{EFormat::Cs16, 1.0f / 32767},
          std::pair{EFormat::Cf32, 1e-7f}}) {
        for (const bool bWav : {false, true}) {
            const std::string strPath = dir.File(bWav ? "air.wav" : "air.raw");
            const std::string data = Encoded(eFormat, air);
            Write(strPath, bWav ? Wav(eFormat, data) : data);
            CIqFile::SOptions options;
            options.strPath = strPath;
            options.eFormat = bWav ? EFormat::Unknown : eFormat;
            options.dRate = bWav ? 0 : kRate;
            options.dCenter = 98.5e6;
            std::string strWhy;
            std::unique_ptr<CIqFile> pFile = CIqFile::Open(options, strWhy);
            ASSERT_NE(pFile, nullptr) << strWhy;
            EXPECT_EQ(pFile->Format(), eFormat);
            EXPECT_EQ(pFile->Rate(), kRate);
            EXPECT_EQ(pFile->Samples(), air.size());
            // Twice round: the end plays on into the start.
            const std::vector<std::complex<float>> got = ReadBack(*pFile, 2 * air.size());
            for (size_t n = 0; n < got.size(); n += 997) {
                EXPECT_NEAR(got[n].real(), air[n % air.size()].real(), fTolerance) << n;
                EXPECT_NEAR(got[n].imag(), air[n % air.size()].imag(), fTolerance) << n;
            }
        }
    }
}

TEST(IqFileTest, GqrxAndSdrppNamesGiveTheCentreAndTheRate) {
    CTempDir dir;
    const std::string data = Encoded(EFormat::Cf32, Air(1000));
    const std::string strGqrx = dir.File("gqrx_20261209_183000_98500000_2400000_fc.raw");
    Write(strGqrx, data);
    std::string strWhy;
    std::unique_ptr<CIqFile> pGqrx = CIqFile::Open({strGqrx}, strWhy);
    ASSERT_NE(pGqrx, nullptr) << strWhy;
    EXPECT_EQ(pGqrx->Center(), 98.5e6);
    EXPECT_EQ(pGqrx->Rate(), 2.4e6);
    EXPECT_EQ(pGqrx->Format(), EFormat::Cf32);

    const std::string strSdrpp = dir.File("baseband_94700000Hz_18-30-00_09-12-2026.wav");
    Write(strSdrpp, Wav(EFormat::Cs16, Encoded(EFormat::Cs16, Air(1000))));
    std::unique_ptr<CIqFile> pSdrpp = CIqFile::Open({strSdrpp}, strWhy);
    ASSERT_NE(pSdrpp, nullptr) << strWhy;
    EXPECT_EQ(pSdrpp->Center(), 94.7e6);
    EXPECT_EQ(pSdrpp->Rate(), kRate);
}

// Each refusal names its cause, and nothing half-opens.
TEST(IqFileTest, DamagedOrForeignRecordingsAreRefusedWithTheirCause) {
    CTempDir dir;
    const std::string data = Encoded(EFormat::Cs16, Air(1000));
    struct SCase {
        std::string strName;
        std::string bytes;
        CIqFile::SOptions options;
        std::string strSaid;
    };
    const std::vector<SCase> cases = {
        {"missing.raw", "", {}, "No such file"},
        {"mono.wav", Wav(EFormat::Cs16, data, 1), {}, "has 1 channels"},
        {"cut.wav", Wav(EFormat::Cs16, data).substr(0, 30), {}, "cut short"},
        {"nodata.wav", Wav(EFormat::Cs16, data).substr(0, 36), {}, "without its data"},
        {"noformat.raw", data, {"", EFormat::Unknown, kRate, 98e6}, "sample format is not known"},
        {"norate.raw", data, {"", EFormat::Cs16, 0, 98e6}, "sample rate is not known"},
        {"slow.raw", data, {"", EFormat::Cs16, 48000, 98e6}, "impossible"},
        {"fast.raw", data, {"", EFormat::Cs16, 1e12, 98e6}, "impossible"},
        {"nocentre.raw", data, {"", EFormat::Cs16, kRate, 0}, "centre frequency is not known"},
        {"crumb.raw", "abc", {"", EFormat::Cs16, kRate, 98e6}, "no whole sample"},
    };
    for (SCase test : cases) {
        test.options.strPath = dir.File(test.strName);
        if (test.strName != "missing.raw") {
            Write(test.options.strPath, test.bytes);
        }
        std::string strWhy;
        EXPECT_EQ(CIqFile::Open(test.options, strWhy), nullptr) << test.strName;
        EXPECT_NE(strWhy.find(test.strSaid), std::string::npos) << test.strName << ": " << strWhy;
    }
}

// WAV headers of random chunks and sizes: refused or read, never a crash.
TEST(IqFileTest, RandomHeadersNeverBreakTheReader) {
    CTempDir dir;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string good = Wav(EFormat::Cs16, Encoded(EFormat::Cs16, Air(64)));
    for (int nRound = 0; nRound < 2000; ++nRound) {
        std::string bytes = good;
        const int nChanges = 1 + nRound % 8;
        for (int n = 0; n < nChanges; ++n) {
            bytes[static_cast<size_t>(random() % 48)] = static_cast<char>(byte(random));
        }
        bytes.resize(static_cast<size_t>(random() % bytes.size()) + 1);
        const std::string strPath = dir.File("fuzz.wav");
        Write(strPath, bytes);
        CIqFile::SOptions options;
        options.strPath = strPath;
        options.dCenter = 98e6;
        std::string strWhy;
        if (std::unique_ptr<CIqFile> pFile = CIqFile::Open(options, strWhy)) {
            std::vector<std::complex<float>> iq(300);
            pFile->Read(iq.data(), iq.size(), strWhy);
        } else {
            EXPECT_FALSE(strWhy.empty());
        }
    }
}

}  // namespace
