#pragma once

#include <complex>
#include <memory>
#include <span>
#include <vector>

// The station test's measure from the IQ: a channel's power against the
// noise floor of the span around it (the quietest quarter of the spectrum),
// from a periodogram of a part of each block (enough for a meter, a small
// share of the cost of the whole stream) that forgets over a few blocks.
//
// Not thread-safe: the demodulator's thread writes, under the caller's lock.
class CChannelMeter {
public:
    explicit CChannelMeter(double dSampleRate);
    ~CChannelMeter();

    CChannelMeter(const CChannelMeter&) = delete;
    CChannelMeter& operator=(const CChannelMeter&) = delete;

    void Write(std::span<const std::complex<float>> iq);
    // Forgets what came before (a retune).
    void Reset();
    // The channel at dOffsetHz, dWidthHz wide, over the floor; 0 before any IQ.
    double SnrDb(double dOffsetHz, double dWidthHz) const;

private:
    struct SLiquid;

    double m_dRate;
    std::unique_ptr<SLiquid> m_pLiquid;
    std::vector<float> m_psd;      // the last block's, in dB
    std::vector<float> m_average;  // power
    size_t m_nBlocks = 0;          // since the last reset
};
