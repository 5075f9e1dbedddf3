#include "sdr/AmDemod.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <liquid/liquid.h>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kBasebandRate = 48'000;
constexpr int kDecimatorDelay = 8;
constexpr float kStopbandDb = 60;
constexpr unsigned kChannelTaps = 129;
// The carrier's level follows in about a tenth of a second: slow enough to
// leave the lowest programme tones alone, quick enough for fading.
constexpr double kCarrierSeconds = 0.1;
// Below this (a carrier lost in the noise) the gain stops growing, so an
// empty channel hisses rather than roars.
constexpr double kWeakestCarrier = 1e-3;

template <typename T, void (*Destroy)(T)>
struct SDeleter {
    void operator()(T p) const { Destroy(p); }
};
void DestroyDecimator(firdecim_crcf q) {
    firdecim_crcf_destroy(q);
}
void DestroyFilter(firfilt_crcf q) {
    firfilt_crcf_destroy(q);
}
void DestroyResampler(msresamp_rrrf q) {
    msresamp_rrrf_destroy(q);
}

}  // namespace

struct CAmDemod::SLiquid {
    std::unique_ptr<std::remove_pointer_t<firdecim_crcf>, SDeleter<firdecim_crcf, DestroyDecimator>>
        decimator;  // null when the input is at the baseband rate
    std::unique_ptr<std::remove_pointer_t<firfilt_crcf>, SDeleter<firfilt_crcf, DestroyFilter>>
        channel;
    std::unique_ptr<std::remove_pointer_t<msresamp_rrrf>, SDeleter<msresamp_rrrf, DestroyResampler>>
        resampler;  // null when the baseband is at the audio rate
};

CAmDemod::CAmDemod(const SConfig& config)
    : m_config(config),
      m_nDecimation(std::max(1, static_cast<int>(config.dInputRate / kBasebandRate))),
      m_dBasebandRate(config.dInputRate / m_nDecimation),
      m_pLiquid(std::make_unique<SLiquid>()),
      m_dCarrierWeight(1.0 - std::exp(-1.0 / (kCarrierSeconds * m_dBasebandRate))) {
    if (m_nDecimation > 1) {
        m_pLiquid->decimator.reset(firdecim_crcf_create_kaiser(static_cast<unsigned>(m_nDecimation),
                                                               kDecimatorDelay, kStopbandDb));
    }
    // Half the channel either side of the carrier.
    const float fCutoff = static_cast<float>(config.dChannelHz / 2 / m_dBasebandRate);
    m_pLiquid->channel.reset(firfilt_crcf_create_kaiser(kChannelTaps, fCutoff, kStopbandDb, 0.0f));
    firfilt_crcf_set_scale(m_pLiquid->channel.get(), 2 * fCutoff);
    const double dRatio = config.nAudioRate / m_dBasebandRate;
    if (std::abs(dRatio - 1.0) > 1e-9) {
        m_pLiquid->resampler.reset(msresamp_rrrf_create(static_cast<float>(dRatio), kStopbandDb));
    }
    SetOffset(config.dOffsetHz);
}

CAmDemod::~CAmDemod() = default;

// The filters forget the station before: its carrier, still in their
// history, would show in the next station test as this channel's.
void CAmDemod::SetOffset(double dOffsetHz) {
    m_config.dOffsetHz = dOffsetHz;
    m_mixerStep = std::polar(1.0, -kTwoPi * dOffsetHz / m_config.dInputRate);
    m_mixed.clear();
    if (m_pLiquid->decimator) {
        firdecim_crcf_reset(m_pLiquid->decimator.get());
    }
    firfilt_crcf_reset(m_pLiquid->channel.get());
}

void CAmDemod::Process(std::span<const std::complex<float>> iq, std::vector<float>& audio) {
    const size_t nKept = m_mixed.size();
    m_mixed.resize(nKept + iq.size());
    for (size_t n = 0; n < iq.size(); ++n) {
        m_mixed[nKept + n] = iq[n] * std::complex<float>(m_mixer);
        m_mixer *= m_mixerStep;
    }
    m_mixer /= std::abs(m_mixer);
    if (m_pLiquid->decimator) {
        const size_t nStep = static_cast<size_t>(m_nDecimation);
        const size_t nOut = m_mixed.size() / nStep;
        m_baseband.resize(nOut);
        firdecim_crcf_execute_block(m_pLiquid->decimator.get(), m_mixed.data(),
                                    static_cast<unsigned>(nOut), m_baseband.data());
        m_mixed.erase(m_mixed.begin(), m_mixed.begin() + static_cast<long>(nOut * nStep));
    } else {
        m_baseband.swap(m_mixed);
        m_mixed.clear();
    }
    m_envelope.resize(m_baseband.size());
    for (size_t n = 0; n < m_baseband.size(); ++n) {
        std::complex<float> filtered;
        firfilt_crcf_execute_one(m_pLiquid->channel.get(), m_baseband[n], &filtered);
        const double dEnvelope = std::abs(filtered);
        m_dCarrier += m_dCarrierWeight * (dEnvelope - m_dCarrier);
        m_envelope[n] =
            static_cast<float>((dEnvelope - m_dCarrier) / std::max(m_dCarrier, kWeakestCarrier));
    }
    const std::vector<float>* pAudio = &m_envelope;
    if (m_pLiquid->resampler) {
        const double dRatio = m_config.nAudioRate / m_dBasebandRate;
        m_resampled.resize(
            static_cast<size_t>(std::ceil(static_cast<double>(m_envelope.size()) * dRatio)) + 8);
        unsigned nOut = 0;
        msresamp_rrrf_execute(m_pLiquid->resampler.get(), m_envelope.data(),
                              static_cast<unsigned>(m_envelope.size()), m_resampled.data(), &nOut);
        m_resampled.resize(nOut);
        pAudio = &m_resampled;
    }
    audio.reserve(audio.size() + 2 * pAudio->size());
    for (const float fSample : *pAudio) {
        audio.push_back(fSample);
        audio.push_back(fSample);
    }
}
