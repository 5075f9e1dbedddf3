#include "sdr/FmStereoDemod.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <liquid/liquid.h>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kMpxRate = 240'000;  // the multiplex reaches 60 kHz (RDS at 57)
constexpr int kChannelDelay = 8;      // the channel filter's half length in outputs
constexpr float kStopbandDb = 60;
// 15 kHz of audio pass; the 19 kHz pilot is 60 dB down.
constexpr double kAudioCutHz = 16'500;
constexpr int kAudioTaps = 241;
// A tenth of the deviation is the pilot's: the rest carries the programme.
constexpr float kProgrammeShare = 0.9f;

template <typename T, void (*Destroy)(T)>
struct SDeleter {
    void operator()(T p) const { Destroy(p); }
};

void DestroyChannel(firdecim_crcf q) {
    firdecim_crcf_destroy(q);
}
void DestroyAudio(firdecim_rrrf q) {
    firdecim_rrrf_destroy(q);
}
void DestroyResampler(msresamp_rrrf q) {
    msresamp_rrrf_destroy(q);
}

using ChannelFilter =
    std::unique_ptr<std::remove_pointer_t<firdecim_crcf>, SDeleter<firdecim_crcf, DestroyChannel>>;
using AudioFilter =
    std::unique_ptr<std::remove_pointer_t<firdecim_rrrf>, SDeleter<firdecim_rrrf, DestroyAudio>>;
using Resampler = std::unique_ptr<std::remove_pointer_t<msresamp_rrrf>,
                                  SDeleter<msresamp_rrrf, DestroyResampler>>;

AudioFilter MakeAudioFilter(int nDecimation, double dRate) {
    std::vector<float> taps(kAudioTaps);
    liquid_firdes_kaiser(kAudioTaps, static_cast<float>(kAudioCutHz / dRate), kStopbandDb, 0.0f,
                         taps.data());
    // liquid's windowed sinc is not scaled to unit gain.
    float fSum = 0;
    for (float fTap : taps) {
        fSum += fTap;
    }
    for (float& fTap : taps) {
        fTap /= fSum;
    }
    return AudioFilter(
        firdecim_rrrf_create(static_cast<unsigned>(nDecimation), taps.data(), kAudioTaps));
}

}  // namespace

struct CFmStereoDemod::SLiquid {
    ChannelFilter channel;  // null when the input is at the multiplex rate
    AudioFilter sum;
    AudioFilter difference;
    Resampler resampleLeft;  // null when the decoded rate is the audio rate
    Resampler resampleRight;
};

CFmStereoDemod::CFmStereoDemod(const SConfig& config)
    : m_config(config),
      m_nChannelDecimation(std::max(1, static_cast<int>(config.dInputRate / kMpxRate))),
      m_dMpxRate(config.dInputRate / m_nChannelDecimation),
      // At least two: the decimator is also the 15 kHz low-pass.
      m_nAudioDecimation(std::max(2, static_cast<int>(m_dMpxRate / config.nAudioRate))),
      m_dDecodedRate(m_dMpxRate / m_nAudioDecimation),
      m_pLiquid(std::make_unique<SLiquid>()),
      m_pilot(m_dMpxRate),
      m_deemphasisLeft(m_dDecodedRate, config.dDeemphasisUs),
      m_deemphasisRight(m_dDecodedRate, config.dDeemphasisUs) {
    if (m_nChannelDecimation > 1) {
        m_pLiquid->channel.reset(firdecim_crcf_create_kaiser(
            static_cast<unsigned>(m_nChannelDecimation), kChannelDelay, kStopbandDb));
    }
    m_pLiquid->sum = MakeAudioFilter(m_nAudioDecimation, m_dMpxRate);
    m_pLiquid->difference = MakeAudioFilter(m_nAudioDecimation, m_dMpxRate);
    const double dRatio = config.nAudioRate / m_dDecodedRate;
    if (std::abs(dRatio - 1.0) > 1e-9) {
        m_pLiquid->resampleLeft.reset(
            msresamp_rrrf_create(static_cast<float>(dRatio), kStopbandDb));
        m_pLiquid->resampleRight.reset(
            msresamp_rrrf_create(static_cast<float>(dRatio), kStopbandDb));
    }
    SetOffset(config.dOffsetHz);
}

CFmStereoDemod::~CFmStereoDemod() = default;

void CFmStereoDemod::SetOffset(double dOffsetHz) {
    m_config.dOffsetHz = dOffsetHz;
    m_mixerStep = std::polar(1.0, -kTwoPi * dOffsetHz / m_config.dInputRate);
}

void CFmStereoDemod::Process(std::span<const std::complex<float>> iq, std::vector<float>& audio) {
    // Mixed down in double: a float phasor drifts off the unit circle. A
    // block's last part short of a decimation step waits for the next one.
    const size_t nKept = m_mixed.size();
    m_mixed.resize(nKept + iq.size());
    for (size_t n = 0; n < iq.size(); ++n) {
        m_mixed[nKept + n] = iq[n] * std::complex<float>(m_mixer);
        m_mixer *= m_mixerStep;
    }
    m_mixer /= std::abs(m_mixer);
    if (!m_pLiquid->channel) {
        Demodulate(m_mixed);
        m_mixed.clear();
        Decode(audio);
        return;
    }
    const size_t nStep = static_cast<size_t>(m_nChannelDecimation);
    const size_t nOut = m_mixed.size() / nStep;
    m_channel.resize(nOut);
    firdecim_crcf_execute_block(m_pLiquid->channel.get(), m_mixed.data(),
                                static_cast<unsigned>(nOut), m_channel.data());
    m_mixed.erase(m_mixed.begin(), m_mixed.begin() + static_cast<long>(nOut * nStep));
    Demodulate(std::span(m_channel.data(), nOut));
    Decode(audio);
}

// arg(x[n] conj(x[n-1])): the phase step, full deviation scaled to 1.
void CFmStereoDemod::Demodulate(std::span<const std::complex<float>> channel) {
    const float fScale = static_cast<float>(m_dMpxRate / (kTwoPi * kDeviationHz));
    m_mpx.resize(channel.size());
    for (size_t n = 0; n < channel.size(); ++n) {
        m_mpx[n] = std::arg(channel[n] * std::conj(m_last)) * fScale;
        m_last = channel[n];
    }
}

void CFmStereoDemod::Decode(std::vector<float>& audio) {
    const size_t nKept = m_sum.size();
    m_sum.resize(nKept + m_mpx.size());
    m_difference.resize(nKept + m_mpx.size());
    for (size_t n = 0; n < m_mpx.size(); ++n) {
        const double dPhase = m_pilot.Next(m_mpx[n]);
        m_sum[nKept + n] = m_mpx[n];
        // The subcarrier is twice the pilot, in step with its sine.
        m_difference[nKept + n] = 2.0f * m_mpx[n] * static_cast<float>(std::sin(2.0 * dPhase));
    }
    const size_t nStep = static_cast<size_t>(m_nAudioDecimation);
    const size_t nOut = m_sum.size() / nStep;
    m_sumDecimated.resize(nOut);
    m_differenceDecimated.resize(nOut);
    firdecim_rrrf_execute_block(m_pLiquid->sum.get(), m_sum.data(), static_cast<unsigned>(nOut),
                                m_sumDecimated.data());
    firdecim_rrrf_execute_block(m_pLiquid->difference.get(), m_difference.data(),
                                static_cast<unsigned>(nOut), m_differenceDecimated.data());
    m_sum.erase(m_sum.begin(), m_sum.begin() + static_cast<long>(nOut * nStep));
    m_difference.erase(m_difference.begin(),
                       m_difference.begin() + static_cast<long>(nOut * nStep));
    const bool bStereo = Stereo();
    m_left.resize(nOut);
    m_right.resize(nOut);
    for (size_t n = 0; n < nOut; ++n) {
        const float fSum = m_sumDecimated[n] / kProgrammeShare;
        const float fDifference = bStereo ? m_differenceDecimated[n] / kProgrammeShare : 0.0f;
        m_left[n] = m_deemphasisLeft.Next(fSum + fDifference);
        m_right[n] = m_deemphasisRight.Next(fSum - fDifference);
    }
    const std::vector<float>* pLeft = &m_left;
    const std::vector<float>* pRight = &m_right;
    if (m_pLiquid->resampleLeft) {
        const double dRatio = m_config.nAudioRate / m_dDecodedRate;
        const size_t nMax = static_cast<size_t>(std::ceil(static_cast<double>(nOut) * dRatio)) + 8;
        m_leftOut.resize(nMax);
        m_rightOut.resize(nMax);
        unsigned nLeft = 0;
        unsigned nRight = 0;
        msresamp_rrrf_execute(m_pLiquid->resampleLeft.get(), m_left.data(),
                              static_cast<unsigned>(nOut), m_leftOut.data(), &nLeft);
        msresamp_rrrf_execute(m_pLiquid->resampleRight.get(), m_right.data(),
                              static_cast<unsigned>(nOut), m_rightOut.data(), &nRight);
        m_leftOut.resize(std::min(nLeft, nRight));
        m_rightOut.resize(std::min(nLeft, nRight));
        pLeft = &m_leftOut;
        pRight = &m_rightOut;
    }
    audio.reserve(audio.size() + 2 * pLeft->size());
    for (size_t n = 0; n < pLeft->size(); ++n) {
        audio.push_back((*pLeft)[n]);
        audio.push_back((*pRight)[n]);
    }
}
