#include "sdr/PilotPll.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kLoopHz = 30.0;  // natural frequency: locks within ~10 ms
constexpr double kDamping = 0.707;
constexpr double kPullHz = 100.0;  // the standard allows 2 Hz; dongles drift more
constexpr double kLevelSeconds = 0.005;
// Hysteresis on the pilot's level against its nominal: a weak or noisy
// pilot falls back to mono rather than flicker.
constexpr float kLockOn = 0.45f;
constexpr float kLockOff = 0.3f;

// By hand: std::complex's product checks for infinities.
std::complex<float> Times(std::complex<float> a, std::complex<float> b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

CPilotPll::CPilotPll(double dSampleRate)
    : m_dCentre(kTwoPi * kPilotHz / dSampleRate),
      m_dPull(kTwoPi * kPullHz / dSampleRate),
      // The phase detector's gain is the pilot's amplitude over two.
      m_dAlpha(2 * kDamping * (kTwoPi * kLoopHz / dSampleRate) / (kNominal / 2)),
      m_dBeta(std::pow(kTwoPi * kLoopHz / dSampleRate, 2) / (kNominal / 2)),
      m_fLevelAlpha(static_cast<float>(1.0 - std::exp(-1.0 / (kLevelSeconds * dSampleRate)))),
      m_dStep(m_dCentre) {}

// The oscillator is a phasor turned by the step each sample; the loop
// corrects it once a chunk from the error summed over the chunk before (a
// delay of a few samples in a loop of tens of hertz), so that no sample
// waits on the loop filter and no sine is taken per sample.
void CPilotPll::Process(std::span<const float> mpx, float* pSubcarrier) {
    for (size_t nAt = 0; nAt < mpx.size(); nAt += kChunk) {
        const size_t nCount = std::min(kChunk, mpx.size() - nAt);
        // The last chunk's correction spread over this one: a phase step
        // each chunk would be a tone at the chunk's rate.
        const std::complex<float> turn =
            std::polar(1.0f, static_cast<float>(m_dStep + m_dNudge / static_cast<double>(nCount)));
        std::complex<float> oscillator = m_oscillator;
        float fError = 0;
        float fInPhase = 0;
        for (size_t k = 0; k < nCount; ++k) {
            const float fMpx = mpx[nAt + k];
            const float fSin = oscillator.imag();
            const float fCos = oscillator.real();
            pSubcarrier[nAt + k] = 2 * fSin * fCos;
            // Pilot A sin(theta) times cos(phase): A/2 sin(theta - phase) and
            // a term at twice the pilot that the loop averages away.
            fError += fMpx * fCos;
            fInPhase += fMpx * fSin;
            oscillator = Times(oscillator, turn);
        }
        // The level follows the chunks' means, at the same time constant.
        const float fWeight = 1.0f - std::pow(1.0f - m_fLevelAlpha, static_cast<float>(nCount));
        const float fScale = 1.0f / static_cast<float>(nCount);
        m_fInPhase += fWeight * (fInPhase * fScale - m_fInPhase);
        m_fQuadrature += fWeight * (fError * fScale - m_fQuadrature);
        m_dStep = std::clamp(m_dStep + m_dBeta * fError, m_dCentre - m_dPull, m_dCentre + m_dPull);
        m_dNudge = m_dAlpha * fError;
        m_oscillator = oscillator / std::abs(oscillator);
        const float fLevel = Level();
        const bool bInStep = std::abs(m_fQuadrature) < 0.5f * std::abs(m_fInPhase);
        m_bLocked = bInStep && fLevel > (m_bLocked ? kLockOff : kLockOn);
    }
}

void CPilotPll::Reset() {
    m_oscillator = {1.0f, 0.0f};
    m_dStep = m_dCentre;
    m_dNudge = 0;
    m_fInPhase = 0;
    m_fQuadrature = 0;
    m_bLocked = false;
}
