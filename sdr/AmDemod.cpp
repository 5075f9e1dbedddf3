#include "sdr/AmDemod.h"

#include <algorithm>
#include <cmath>

#include <liquid/liquid.h>

namespace {

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
void DestroyResampler(msresamp_rrrf q) {
    msresamp_rrrf_destroy(q);
}

// Decimated in two steps where it can: a short filter that only keeps
// aliases off the band, then the sharp one at a fifth (or a quarter, a
// half) of the rate.
int SecondStep(int nDecimation) {
    for (const int nStep : {5, 4, 2}) {
        if (nDecimation >= 2 * nStep && nDecimation % nStep == 0) {
            return nStep;
        }
    }
    return nDecimation;
}

std::vector<float> FirstTaps(int nFirst) {
    if (nFirst <= 1) {
        return {1.0f};
    }
    return CFirDecimator::LowPass(0.5f / static_cast<float>(nFirst),
                                  static_cast<unsigned>(5 * nFirst) | 1u, kStopbandDb);
}

std::vector<float> SecondTaps(int nSecond) {
    if (nSecond <= 1) {
        return {1.0f};
    }
    return CFirDecimator::LowPass(static_cast<unsigned>(nSecond), kDecimatorDelay, kStopbandDb);
}

}  // namespace

struct CAmDemod::SLiquid {
    std::unique_ptr<std::remove_pointer_t<msresamp_rrrf>, SDeleter<msresamp_rrrf, DestroyResampler>>
        resampler;  // null when the baseband is at the audio rate
};

CAmDemod::CAmDemod(const SConfig& config)
    : m_config(config),
      m_nDecimation(std::max(1, static_cast<int>(config.dInputRate / kBasebandRate))),
      m_dBasebandRate(config.dInputRate / m_nDecimation),
      m_pLiquid(std::make_unique<SLiquid>()),
      m_mixer(config.dOffsetHz, config.dInputRate),
      m_firstI(FirstTaps(m_nDecimation / SecondStep(m_nDecimation)),
               static_cast<unsigned>(m_nDecimation / SecondStep(m_nDecimation))),
      m_firstQ(FirstTaps(m_nDecimation / SecondStep(m_nDecimation)),
               static_cast<unsigned>(m_nDecimation / SecondStep(m_nDecimation))),
      m_secondI(SecondTaps(SecondStep(m_nDecimation)),
                static_cast<unsigned>(SecondStep(m_nDecimation))),
      m_secondQ(SecondTaps(SecondStep(m_nDecimation)),
                static_cast<unsigned>(SecondStep(m_nDecimation))),
      // Half the channel either side of the carrier.
      m_channelI(CFirDecimator::LowPass(static_cast<float>(config.dChannelHz / 2 / m_dBasebandRate),
                                        kChannelTaps, kStopbandDb),
                 1),
      m_channelQ(CFirDecimator::LowPass(static_cast<float>(config.dChannelHz / 2 / m_dBasebandRate),
                                        kChannelTaps, kStopbandDb),
                 1),
      m_dCarrierWeight(1.0 - std::exp(-1.0 / (kCarrierSeconds * m_dBasebandRate))) {
    const double dRatio = config.nAudioRate / m_dBasebandRate;
    if (std::abs(dRatio - 1.0) > 1e-9) {
        m_pLiquid->resampler.reset(msresamp_rrrf_create(static_cast<float>(dRatio), kStopbandDb));
    }
}

CAmDemod::~CAmDemod() = default;

// The filters forget the station before: its carrier, still in their
// history, would show in the next station test as this channel's.
void CAmDemod::SetOffset(double dOffsetHz) {
    m_config.dOffsetHz = dOffsetHz;
    m_mixer.SetShift(dOffsetHz);
    for (CFirDecimator* pFilter :
         {&m_firstI, &m_firstQ, &m_secondI, &m_secondQ, &m_channelI, &m_channelQ}) {
        pFilter->Reset();
    }
}

void CAmDemod::Process(std::span<const std::complex<float>> iq, std::vector<float>& audio) {
    m_mixer.Mix(iq, m_firstI.Extend(iq.size()), m_firstQ.Extend(iq.size()));
    m_stepI.clear();
    m_stepQ.clear();
    m_firstI.Run(m_stepI);
    m_firstQ.Run(m_stepQ);
    m_basebandI.clear();
    m_basebandQ.clear();
    m_secondI.Process(m_stepI, m_basebandI);
    m_secondQ.Process(m_stepQ, m_basebandQ);
    const size_t nCount = std::min(m_basebandI.size(), m_basebandQ.size());
    m_baseband.resize(nCount);
    for (size_t n = 0; n < nCount; ++n) {
        m_baseband[n] = {m_basebandI[n], m_basebandQ[n]};
    }
    m_stepI.clear();
    m_stepQ.clear();
    m_channelI.Process(std::span(m_basebandI.data(), nCount), m_stepI);
    m_channelQ.Process(std::span(m_basebandQ.data(), nCount), m_stepQ);
    m_envelope.resize(nCount);
    for (size_t n = 0; n < nCount; ++n) {
        const double dEnvelope = std::hypot(m_stepI[n], m_stepQ[n]);
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
