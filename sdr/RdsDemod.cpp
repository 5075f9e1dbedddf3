#include "sdr/RdsDemod.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <liquid/liquid.h>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kSymbolRate = CRdsDemod::kBitRate * CRdsDemod::kSamplesPerBit;  // 19 kHz
constexpr float kStopbandDb = 60;
// The RDS band is 2.4 kHz each side; the stereo difference ends 4 kHz below.
constexpr float kBandHz = 2'800;
constexpr unsigned kBandTaps = 63;
// Down to no less than 50 kHz first: the programme (the mono sum 42 to 57
// kHz below the subcarrier, once mixed) is 60 dB down from 13 kHz on.
constexpr double kDecimatedRate = 50'000;
constexpr float kDecimatorCutoffHz = 6'000;
constexpr unsigned kDecimatorTaps = 63;
constexpr double kLoopHz = 10;
constexpr double kPullHz = 30;
constexpr float kPowerAlpha = 0.002f;
constexpr float kEnergyAlpha = 0.05f;   // a phase's energy over some 20 bits
constexpr float kSwitchMargin = 1.25f;  // another clock phase must be clearly better

void DestroyResampler(msresamp_crcf q) {
    msresamp_crcf_destroy(q);
}
void DestroyFilter(firfilt_crcf q) {
    firfilt_crcf_destroy(q);
}
template <typename T, void (*Destroy)(T)>
struct SDeleter {
    void operator()(T p) const { Destroy(p); }
};

}  // namespace

struct CRdsDemod::SLiquid {
    std::unique_ptr<std::remove_pointer_t<msresamp_crcf>, SDeleter<msresamp_crcf, DestroyResampler>>
        resampler;
    std::unique_ptr<std::remove_pointer_t<firfilt_crcf>, SDeleter<firfilt_crcf, DestroyFilter>>
        band;
};

CRdsDemod::CRdsDemod(double dMpxRate)
    : m_dMpxRate(dMpxRate),
      m_pLiquid(std::make_unique<SLiquid>()),
      m_mixer(kSubcarrierHz, dMpxRate),
      m_nDecimation(std::max(1u, static_cast<unsigned>(dMpxRate / kDecimatedRate))),
      m_decimatorI(CFirDecimator::LowPass(static_cast<float>(kDecimatorCutoffHz / dMpxRate),
                                          kDecimatorTaps, kStopbandDb),
                   m_nDecimation),
      m_decimatorQ(CFirDecimator::LowPass(static_cast<float>(kDecimatorCutoffHz / dMpxRate),
                                          kDecimatorTaps, kStopbandDb),
                   m_nDecimation) {
    m_pLiquid->resampler.reset(msresamp_crcf_create(
        static_cast<float>(kSymbolRate * m_nDecimation / dMpxRate), kStopbandDb));
    std::vector<float> taps(kBandTaps);
    liquid_firdes_kaiser(kBandTaps, static_cast<float>(kBandHz / kSymbolRate), kStopbandDb, 0.0f,
                         taps.data());
    float fSum = 0;
    for (float fTap : taps) {
        fSum += fTap;
    }
    for (float& fTap : taps) {
        fTap /= fSum;
    }
    m_pLiquid->band.reset(firfilt_crcf_create(taps.data(), kBandTaps));
    for (size_t k = 0; k < m_template.size(); ++k) {
        m_template[k] =
            static_cast<float>(std::sin(kTwoPi * (static_cast<double>(k) + 0.5) / kSamplesPerBit));
    }
}

CRdsDemod::~CRdsDemod() = default;

void CRdsDemod::Reset() {
    m_decimatorI.Reset();
    m_decimatorQ.Reset();
    msresamp_crcf_reset(m_pLiquid->resampler.get());
    firfilt_crcf_reset(m_pLiquid->band.get());
    m_dCarrierPhase = 0;
    m_dCarrierStep = 0;
    m_fPower = 0;
    m_ring.fill(0);
    m_energy.fill(0);
    m_nSample = 0;
    m_bits.Reset();
}

void CRdsDemod::Process(std::span<const float> mpx, std::vector<SRdsBlock>& blocks) {
    m_mixer.Mix(mpx, m_decimatorI.Extend(mpx.size()), m_decimatorQ.Extend(mpx.size()));
    m_decimatedI.clear();
    m_decimatedQ.clear();
    m_decimatorI.Run(m_decimatedI);
    m_decimatorQ.Run(m_decimatedQ);
    m_decimated.resize(std::min(m_decimatedI.size(), m_decimatedQ.size()));
    for (size_t n = 0; n < m_decimated.size(); ++n) {
        m_decimated[n] = {m_decimatedI[n], m_decimatedQ[n]};
    }
    const double dRatio = kSymbolRate * m_nDecimation / m_dMpxRate;
    m_resampled.resize(
        static_cast<size_t>(std::ceil(static_cast<double>(m_decimated.size()) * dRatio)) + 16);
    unsigned nOut = 0;
    msresamp_crcf_execute(m_pLiquid->resampler.get(), m_decimated.data(),
                          static_cast<unsigned>(m_decimated.size()), m_resampled.data(), &nOut);
    for (unsigned n = 0; n < nOut; ++n) {
        std::complex<float> filtered;
        firfilt_crcf_push(m_pLiquid->band.get(), m_resampled[n]);
        firfilt_crcf_execute(m_pLiquid->band.get(), &filtered);
        Symbol(filtered, blocks);
    }
}

void CRdsDemod::Symbol(std::complex<float> sample, std::vector<SRdsBlock>& blocks) {
    // Costas loop: BPSK's phase error is I times Q, against the power.
    const std::complex<float> rotated =
        sample * std::polar(1.0f, static_cast<float>(-m_dCarrierPhase));
    m_fPower += kPowerAlpha * (std::norm(rotated) - m_fPower);
    const double dError = m_fPower > 0 ? rotated.real() * rotated.imag() / m_fPower : 0.0;
    const double dNatural = kTwoPi * kLoopHz / kSymbolRate;
    const double dPull = kTwoPi * kPullHz / kSymbolRate;
    m_dCarrierStep = std::clamp(m_dCarrierStep + dNatural * dNatural * dError, -dPull, dPull);
    m_dCarrierPhase =
        std::remainder(m_dCarrierPhase + m_dCarrierStep + 1.414 * dNatural * dError, kTwoPi);

    // The biphase symbol is one cycle of a sine a bit long: its correlation
    // peaks at the bit's end, at the clock phase that sees the most energy.
    const unsigned nPhase = m_nSample % kSamplesPerBit;
    m_ring[nPhase] = rotated.real();
    float fCorrelation = 0;
    for (unsigned k = 0; k < kSamplesPerBit; ++k) {
        fCorrelation += m_ring[(nPhase + 1 + k) % kSamplesPerBit] * m_template[k];
    }
    m_energy[nPhase] += kEnergyAlpha * (fCorrelation * fCorrelation - m_energy[nPhase]);
    ++m_nSample;
    if (nPhase == 0) {
        const auto best = std::max_element(m_energy.begin(), m_energy.end());
        if (*best > kSwitchMargin * m_energy[static_cast<size_t>(m_nClockPhase)]) {
            m_nClockPhase = static_cast<int>(best - m_energy.begin());
        }
    }
    if (static_cast<int>(nPhase) != m_nClockPhase) {
        return;
    }
    const bool bSymbol = fCorrelation > 0;
    m_bits.Add(bSymbol != m_bLastSymbol, blocks);
    m_bLastSymbol = bSymbol;
}
