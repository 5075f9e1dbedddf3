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

void DestroyResampler(msresamp_rrrf q) {
    msresamp_rrrf_destroy(q);
}

using Resampler = std::unique_ptr<std::remove_pointer_t<msresamp_rrrf>,
                                  SDeleter<msresamp_rrrf, DestroyResampler>>;

// atan2 to within 1e-5 rad (the audio's noise floor is far above), without
// branches, so the discriminator vectorizes.
float Atan2(float fY, float fX) {
    const float fAbsX = std::abs(fX);
    const float fAbsY = std::abs(fY);
    const float fRatio = std::min(fAbsX, fAbsY) / std::max(std::max(fAbsX, fAbsY), 1e-30f);
    const float fSquare = fRatio * fRatio;
    float fAngle =
        fRatio *
        (0.99997726f +
         fSquare * (-0.33262347f +
                    fSquare * (0.19354346f +
                               fSquare * (-0.11643287f +
                                          fSquare * (0.05265332f + fSquare * -0.01172120f)))));
    fAngle = fAbsY > fAbsX ? 1.57079633f - fAngle : fAngle;
    fAngle = fX < 0 ? 3.14159265f - fAngle : fAngle;
    return fY < 0 ? -fAngle : fAngle;
}

// The channel is cut in two steps where the decimation is even: the first
// (to twice the multiplex rate) only keeps aliases off the channel and is
// short; the second is the channel's own sharp filter, at a fifth of the
// cost it would have at the input's rate.
int FirstStep(int nDecimation) {
    return nDecimation >= 4 && nDecimation % 2 == 0 ? nDecimation / 2 : 1;
}

std::vector<float> FirstStepTaps(int nFirst) {
    if (nFirst <= 1) {
        return {1.0f};
    }
    // Its band reaches the channel filter's stop band (a quarter of its
    // output rate and a bit); aliases from three quarters on are 60 dB down.
    const unsigned nTaps = static_cast<unsigned>(5 * nFirst) | 1u;
    return CFirDecimator::LowPass(0.5f / static_cast<float>(nFirst), nTaps, kStopbandDb);
}

std::vector<float> ChannelTaps(int nDecimation) {
    if (nDecimation <= 1) {
        return {1.0f};
    }
    return CFirDecimator::LowPass(static_cast<unsigned>(nDecimation), kChannelDelay, kStopbandDb);
}

}  // namespace

struct CFmStereoDemod::SLiquid {
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
      m_mixer(config.dOffsetHz, config.dInputRate),
      m_firstI(FirstStepTaps(FirstStep(m_nChannelDecimation)),
               static_cast<unsigned>(FirstStep(m_nChannelDecimation))),
      m_firstQ(FirstStepTaps(FirstStep(m_nChannelDecimation)),
               static_cast<unsigned>(FirstStep(m_nChannelDecimation))),
      m_channelI(ChannelTaps(m_nChannelDecimation / FirstStep(m_nChannelDecimation)),
                 static_cast<unsigned>(m_nChannelDecimation / FirstStep(m_nChannelDecimation))),
      m_channelQ(ChannelTaps(m_nChannelDecimation / FirstStep(m_nChannelDecimation)),
                 static_cast<unsigned>(m_nChannelDecimation / FirstStep(m_nChannelDecimation))),
      m_sumFilter(CFirDecimator::LowPass(static_cast<float>(kAudioCutHz / m_dMpxRate), kAudioTaps,
                                         kStopbandDb),
                  static_cast<unsigned>(m_nAudioDecimation)),
      m_differenceFilter(CFirDecimator::LowPass(static_cast<float>(kAudioCutHz / m_dMpxRate),
                                                kAudioTaps, kStopbandDb),
                         static_cast<unsigned>(m_nAudioDecimation)),
      m_pilot(m_dMpxRate),
      m_deemphasisLeft(m_dDecodedRate, config.dDeemphasisUs),
      m_deemphasisRight(m_dDecodedRate, config.dDeemphasisUs) {
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
    m_mixer.SetShift(dOffsetHz);
}

void CFmStereoDemod::Process(std::span<const std::complex<float>> iq, std::vector<float>& audio) {
    m_mixer.Mix(iq, m_firstI.Extend(iq.size()), m_firstQ.Extend(iq.size()));
    m_firstOutI.clear();
    m_firstOutQ.clear();
    m_firstI.Run(m_firstOutI);
    m_firstQ.Run(m_firstOutQ);
    m_channelOutI.clear();
    m_channelOutQ.clear();
    m_channelI.Process(m_firstOutI, m_channelOutI);
    m_channelQ.Process(m_firstOutQ, m_channelOutQ);
    Demodulate();
    Decode(audio);
}

// arg(x[n] conj(x[n-1])): the phase step, full deviation scaled to 1.
void CFmStereoDemod::Demodulate() {
    const float fScale = static_cast<float>(m_dMpxRate / (kTwoPi * kDeviationHz));
    const size_t nCount = std::min(m_channelOutI.size(), m_channelOutQ.size());
    m_mpx.resize(nCount);
    const float* pI = m_channelOutI.data();
    const float* pQ = m_channelOutQ.data();
    for (size_t n = 0; n < nCount; ++n) {
        const float fLastI = n == 0 ? m_last.real() : pI[n - 1];
        const float fLastQ = n == 0 ? m_last.imag() : pQ[n - 1];
        // x[n] conj(x[n-1])
        const float fRe = pI[n] * fLastI + pQ[n] * fLastQ;
        const float fIm = pQ[n] * fLastI - pI[n] * fLastQ;
        m_mpx[n] = Atan2(fIm, fRe) * fScale;
    }
    if (nCount > 0) {
        m_last = {pI[nCount - 1], pQ[nCount - 1]};
    }
}

void CFmStereoDemod::Decode(std::vector<float>& audio) {
    m_difference.resize(m_mpx.size());
    m_pilot.Process(m_mpx, m_difference.data());
    for (size_t n = 0; n < m_mpx.size(); ++n) {
        m_difference[n] *= 2.0f * m_mpx[n];
    }
    m_sumDecimated.clear();
    m_differenceDecimated.clear();
    m_sumFilter.Process(m_mpx, m_sumDecimated);
    m_differenceFilter.Process(m_difference, m_differenceDecimated);
    const size_t nOut = std::min(m_sumDecimated.size(), m_differenceDecimated.size());
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
