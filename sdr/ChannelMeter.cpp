#include "sdr/ChannelMeter.h"

#include <algorithm>
#include <cmath>

#include <liquid/liquid.h>

namespace {

constexpr unsigned kBins = 256;
constexpr size_t kSamplesPerBlock = 2048;
constexpr float kForgetting = 0.3f;  // of each block: a few of them make the measure

}  // namespace

struct CChannelMeter::SLiquid {
    struct SDestroy {
        void operator()(spgramcf q) const { spgramcf_destroy(q); }
    };
    std::unique_ptr<std::remove_pointer_t<spgramcf>, SDestroy> periodogram;
};

CChannelMeter::CChannelMeter(double dSampleRate)
    : m_dRate(dSampleRate), m_pLiquid(std::make_unique<SLiquid>()), m_psd(kBins), m_average(kBins) {
    m_pLiquid->periodogram.reset(spgramcf_create(kBins, LIQUID_WINDOW_HANN, kBins, kBins / 2));
}

CChannelMeter::~CChannelMeter() = default;

// Each block's spectrum on its own, into an average that forgets: a meter
// follows the air, not its history.
void CChannelMeter::Write(std::span<const std::complex<float>> iq) {
    const size_t nCount = std::min(iq.size(), kSamplesPerBlock);
    if (nCount < kBins) {
        return;
    }
    // Reset, not clear: the window would keep the last block's tail, of a
    // station tuned before.
    spgramcf_reset(m_pLiquid->periodogram.get());
    // liquid takes a non-const pointer; it does not write through it.
    spgramcf_write(m_pLiquid->periodogram.get(), const_cast<std::complex<float>*>(iq.data()),
                   static_cast<unsigned>(nCount));
    spgramcf_get_psd(m_pLiquid->periodogram.get(), m_psd.data());
    const float fWeight = m_nBlocks == 0 ? 1.0f : kForgetting;
    for (size_t n = 0; n < kBins; ++n) {
        const float fPower = std::pow(10.0f, m_psd[n] / 10);  // dB to power
        m_average[n] += fWeight * (fPower - m_average[n]);
    }
    ++m_nBlocks;
}

void CChannelMeter::Reset() {
    m_nBlocks = 0;
}

double CChannelMeter::SnrDb(double dOffsetHz, double dWidthHz) const {
    if (m_nBlocks == 0) {
        return 0;
    }
    // Bin 0 is -rate/2: the spectrum comes shifted.
    const double dBinHz = m_dRate / kBins;
    const auto bin = [&](double dHz) {
        return std::clamp(static_cast<int>(std::lround(dHz / dBinHz + kBins / 2.0)), 0,
                          static_cast<int>(kBins) - 1);
    };
    const int nFirst = bin(dOffsetHz - dWidthHz / 2);
    const int nLast = bin(dOffsetHz + dWidthHz / 2);
    double dChannel = 0;
    for (int n = nFirst; n <= nLast; ++n) {
        dChannel += m_average[static_cast<size_t>(n)];
    }
    dChannel /= nLast - nFirst + 1;
    std::vector<float> sorted = m_average;
    std::nth_element(sorted.begin(), sorted.begin() + kBins / 4, sorted.end());
    const double dFloor = std::max(1e-12, static_cast<double>(sorted[kBins / 4]));
    return 10 * std::log10(std::max(dChannel, 1e-12) / dFloor);
}
