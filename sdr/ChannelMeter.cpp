#include "sdr/ChannelMeter.h"

#include <algorithm>
#include <cmath>

#include <liquid/liquid.h>

namespace {

constexpr unsigned kBins = 256;
constexpr size_t kSamplesPerBlock = 2048;

}  // namespace

struct CChannelMeter::SLiquid {
    struct SDestroy {
        void operator()(spgramcf q) const { spgramcf_destroy(q); }
    };
    std::unique_ptr<std::remove_pointer_t<spgramcf>, SDestroy> periodogram;
};

CChannelMeter::CChannelMeter(double dSampleRate)
    : m_dRate(dSampleRate), m_pLiquid(std::make_unique<SLiquid>()), m_psd(kBins) {
    m_pLiquid->periodogram.reset(spgramcf_create(kBins, LIQUID_WINDOW_HANN, kBins, kBins / 2));
}

CChannelMeter::~CChannelMeter() = default;

void CChannelMeter::Write(std::span<const std::complex<float>> iq) {
    const size_t nCount = std::min(iq.size(), kSamplesPerBlock);
    // liquid takes a non-const pointer; it does not write through it.
    spgramcf_write(m_pLiquid->periodogram.get(), const_cast<std::complex<float>*>(iq.data()),
                   static_cast<unsigned>(nCount));
}

void CChannelMeter::Reset() {
    spgramcf_clear(m_pLiquid->periodogram.get());
}

double CChannelMeter::SnrDb(double dOffsetHz, double dWidthHz) const {
    if (spgramcf_get_num_transforms(m_pLiquid->periodogram.get()) == 0) {
        return 0;
    }
    spgramcf_get_psd(m_pLiquid->periodogram.get(), m_psd.data());
    for (float& fBin : m_psd) {
        fBin = std::pow(10.0f, fBin / 10);  // dB to power
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
        dChannel += m_psd[static_cast<size_t>(n)];
    }
    dChannel /= nLast - nFirst + 1;
    std::vector<float> sorted = m_psd;
    std::nth_element(sorted.begin(), sorted.begin() + kBins / 4, sorted.end());
    const double dFloor = std::max(1e-12, static_cast<double>(sorted[kBins / 4]));
    return 10 * std::log10(std::max(dChannel, 1e-12) / dFloor);
}
