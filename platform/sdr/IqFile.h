#pragma once

#include <complex>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

// A recording of a dongle's IQ: raw cu8 (RTL-SDR's own), cs16 or cf32
// samples, or an IQ WAV file (two channels, 8- or 16-bit integer or 32-bit
// float). What the options leave open is read from the WAV header or from
// the name gqrx (gqrx_<date>_<time>_<centre>_<rate>_fc.raw, cf32) or SDR++
// (baseband_<centre>Hz_<time>_<date>.wav) gives its recordings.
//
// Read() plays it round and round. Not thread-safe: one reader.
class CIqFile {
public:
    enum class EFormat { Unknown, Cu8, Cs16, Cf32 };
    struct SOptions {
        std::string strPath;
        EFormat eFormat = EFormat::Unknown;
        double dRate = 0;    // Hz; 0: from the header or the name
        double dCenter = 0;  // Hz; 0: from the name
    };

    // Fails with a message naming the cause: unreadable, not a recording
    // Kestrel reads, a format or rate not given nor found, an impossible
    // rate, no whole sample in it.
    static std::unique_ptr<CIqFile> Open(const SOptions& options, std::string& strWhy);

    // Fills nSamples samples, from the start again at the end; false once
    // the file cannot be read any more (strWhy says why).
    bool Read(std::complex<float>* pSamples, size_t nSamples, std::string& strWhy);

    double Rate() const { return m_dRate; }
    double Center() const { return m_dCenter; }
    EFormat Format() const { return m_eFormat; }
    uint64_t Samples() const { return m_nSamples; }

    static EFormat FormatNamed(const std::string& strName);
    static constexpr double kLowestRate = 200'000;  // FM's channel needs it
    static constexpr double kHighestRate = 100'000'000;

private:
    CIqFile() = default;
    size_t SampleBytes() const;

    std::ifstream m_file;
    EFormat m_eFormat = EFormat::Unknown;
    double m_dRate = 0;
    double m_dCenter = 0;
    uint64_t m_nDataStart = 0;
    uint64_t m_nSamples = 0;
    uint64_t m_nNext = 0;
    std::string m_buffer;
};
