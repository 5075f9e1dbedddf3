#include "platform/sdr/IqFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>

namespace {

uint32_t Le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}

uint16_t Le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(u[0] | (u[1] << 8));
}

std::string HzText(double dRate) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.0f Hz", dRate);
    return text;
}

// What the recording's name says: gqrx's centre and rate, SDR++'s centre.
void FromName(const std::string& strName, double& dCenter, double& dRate,
              CIqFile::EFormat& eFormat) {
    std::smatch match;
    static const std::regex gqrx(R"(gqrx_\d{8}_\d{6}_(\d+)_(\d+)_fc\.raw$)");
    static const std::regex sdrpp(R"(baseband_(\d+)Hz_)");
    if (std::regex_search(strName, match, gqrx)) {
        dCenter = std::stod(match[1].str());
        dRate = std::stod(match[2].str());
        eFormat = CIqFile::EFormat::Cf32;
    } else if (std::regex_search(strName, match, sdrpp)) {
        dCenter = std::stod(match[1].str());
    }
}

}  // namespace

CIqFile::EFormat CIqFile::FormatNamed(const std::string& strName) {
    if (strName == "cu8") {
        return EFormat::Cu8;
    }
    if (strName == "cs16") {
        return EFormat::Cs16;
    }
    if (strName == "cf32") {
        return EFormat::Cf32;
    }
    return EFormat::Unknown;
}

size_t CIqFile::SampleBytes() const {
    switch (m_eFormat) {
        case EFormat::Cu8:
            return 2;
        case EFormat::Cs16:
            return 4;
        case EFormat::Cf32:
            return 8;
        case EFormat::Unknown:
            break;
    }
    return 0;
}

std::unique_ptr<CIqFile> CIqFile::Open(const SOptions& options, std::string& strWhy) {
    std::unique_ptr<CIqFile> pFile(new CIqFile());
    pFile->m_file.open(options.strPath, std::ios::binary);
    if (!pFile->m_file) {
        strWhy = options.strPath + ": " + std::strerror(errno);
        return nullptr;
    }
    std::error_code error;
    const uint64_t nSize = std::filesystem::file_size(options.strPath, error);
    const std::string strName = std::filesystem::path(options.strPath).filename().string();
    double dNameCenter = 0;
    double dNameRate = 0;
    EFormat eNameFormat = EFormat::Unknown;
    FromName(strName, dNameCenter, dNameRate, eNameFormat);

    char header[12] = {};
    pFile->m_file.read(header, sizeof(header));
    const bool bWav = pFile->m_file.gcount() == 12 && std::memcmp(header, "RIFF", 4) == 0 &&
                      std::memcmp(header + 8, "WAVE", 4) == 0;
    double dHeaderRate = 0;
    EFormat eHeaderFormat = EFormat::Unknown;
    uint64_t nDataBytes = nSize;
    pFile->m_nDataStart = 0;
    if (bWav) {
        // The chunks up to "data": "fmt " says what the samples are.
        uint64_t nAt = 12;
        bool bFormat = false;
        bool bData = false;
        while (!bData && nAt + 8 <= nSize) {
            char chunk[8];
            pFile->m_file.seekg(static_cast<std::streamoff>(nAt));
            pFile->m_file.read(chunk, 8);
            const uint32_t nChunk = Le32(chunk + 4);
            if (std::memcmp(chunk, "fmt ", 4) == 0 && nAt + 8 + 16 > nSize) {
                strWhy = strName + " is a WAV file cut short in its header";
                return nullptr;
            }
            if (std::memcmp(chunk, "fmt ", 4) == 0 && nChunk >= 16) {
                char fmt[16];
                pFile->m_file.read(fmt, 16);
                const uint16_t nCode = Le16(fmt);
                const uint16_t nChannels = Le16(fmt + 2);
                const uint16_t nBits = Le16(fmt + 14);
                dHeaderRate = Le32(fmt + 4);
                if (nChannels != 2) {
                    strWhy = strName + " has " + std::to_string(nChannels) +
                             " channels: an IQ recording has two (I and Q)";
                    return nullptr;
                }
                // 1 PCM, 3 IEEE float, 0xFFFE extensible (taken by its bits).
                if (nBits == 8 && nCode != 3) {
                    eHeaderFormat = EFormat::Cu8;
                } else if (nBits == 16 && nCode != 3) {
                    eHeaderFormat = EFormat::Cs16;
                } else if (nBits == 32 && (nCode == 3 || nCode == 0xFFFE)) {
                    eHeaderFormat = EFormat::Cf32;
                } else {
                    strWhy = strName + " holds " + std::to_string(nBits) +
                             "-bit samples of WAV format " + std::to_string(nCode) +
                             ": Kestrel reads 8- and 16-bit integers and 32-bit floats";
                    return nullptr;
                }
                bFormat = true;
            } else if (std::memcmp(chunk, "data", 4) == 0) {
                bData = true;
                pFile->m_nDataStart = nAt + 8;
                // A recording cut short still plays what it has.
                nDataBytes = std::min<uint64_t>(nChunk, nSize - pFile->m_nDataStart);
            }
            nAt += 8 + nChunk + (nChunk & 1);
        }
        if (!bFormat || !bData) {
            strWhy = strName + " is a WAV file without " + (bFormat ? "its data" : "its format");
            return nullptr;
        }
    }
    pFile->m_eFormat = options.eFormat != EFormat::Unknown ? options.eFormat
                       : bWav                              ? eHeaderFormat
                                                           : eNameFormat;
    if (pFile->m_eFormat == EFormat::Unknown) {
        strWhy = strName + ": the sample format is not known (give --iq-format cu8, cs16 or cf32)";
        return nullptr;
    }
    pFile->m_dRate = options.dRate > 0 ? options.dRate : dHeaderRate > 0 ? dHeaderRate : dNameRate;
    if (pFile->m_dRate <= 0) {
        strWhy = strName + ": the sample rate is not known (give --iq-rate)";
        return nullptr;
    }
    if (!std::isfinite(pFile->m_dRate) || pFile->m_dRate < kLowestRate ||
        pFile->m_dRate > kHighestRate) {
        strWhy = strName + ": a sample rate of " + HzText(pFile->m_dRate) +
                 " is impossible for broadcast radio (" + HzText(kLowestRate) + " to " +
                 HzText(kHighestRate) + ")";
        return nullptr;
    }
    pFile->m_dCenter = options.dCenter > 0 ? options.dCenter : dNameCenter;
    if (pFile->m_dCenter <= 0) {
        strWhy = strName + ": the centre frequency is not known (give --iq-center)";
        return nullptr;
    }
    pFile->m_nSamples = nDataBytes / pFile->SampleBytes();
    if (pFile->m_nSamples == 0) {
        strWhy = strName + " holds no whole sample";
        return nullptr;
    }
    pFile->m_file.clear();
    pFile->m_file.seekg(static_cast<std::streamoff>(pFile->m_nDataStart));
    return pFile;
}

bool CIqFile::Read(std::complex<float>* pSamples, size_t nSamples, std::string& strWhy) {
    const size_t nBytes = SampleBytes();
    while (nSamples > 0) {
        if (m_nNext == m_nSamples) {
            m_nNext = 0;
            m_file.clear();
            m_file.seekg(static_cast<std::streamoff>(m_nDataStart));
        }
        const size_t nTake =
            static_cast<size_t>(std::min<uint64_t>(nSamples, m_nSamples - m_nNext));
        m_buffer.resize(nTake * nBytes);
        m_file.read(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        if (static_cast<size_t>(m_file.gcount()) != m_buffer.size()) {
            strWhy = "the recording cannot be read any more";
            return false;
        }
        const char* p = m_buffer.data();
        for (size_t n = 0; n < nTake; ++n, p += nBytes) {
            switch (m_eFormat) {
                case EFormat::Cu8: {
                    const auto* u = reinterpret_cast<const unsigned char*>(p);
                    pSamples[n] = {(u[0] - 127.5f) / 127.5f, (u[1] - 127.5f) / 127.5f};
                    break;
                }
                case EFormat::Cs16:
                    pSamples[n] = {static_cast<int16_t>(Le16(p)) / 32768.0f,
                                   static_cast<int16_t>(Le16(p + 2)) / 32768.0f};
                    break;
                default: {
                    float fI = 0;
                    float fQ = 0;
                    std::memcpy(&fI, p, 4);
                    std::memcpy(&fQ, p + 4, 4);
                    // Garbage floats are silence, not a poisoned filter.
                    pSamples[n] = {std::isfinite(fI) ? fI : 0.0f, std::isfinite(fQ) ? fQ : 0.0f};
                    break;
                }
            }
        }
        m_nNext += nTake;
        pSamples += nTake;
        nSamples -= nTake;
    }
    return true;
}
