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

}  // namespace

CPilotPll::CPilotPll(double dSampleRate)
    : m_dCentre(kTwoPi * kPilotHz / dSampleRate),
      m_dPull(kTwoPi * kPullHz / dSampleRate),
      // The phase detector's gain is the pilot's amplitude over two.
      m_dAlpha(2 * kDamping * (kTwoPi * kLoopHz / dSampleRate) / (kNominal / 2)),
      m_dBeta(std::pow(kTwoPi * kLoopHz / dSampleRate, 2) / (kNominal / 2)),
      m_fLevelAlpha(static_cast<float>(1.0 - std::exp(-1.0 / (kLevelSeconds * dSampleRate)))),
      m_dStep(m_dCentre) {}

double CPilotPll::Next(float fMpx) {
    const double dNow = m_dPhase;
    const float fSin = static_cast<float>(std::sin(m_dPhase));
    const float fCos = static_cast<float>(std::cos(m_dPhase));
    // Pilot A sin(theta) times cos(phase): A/2 sin(theta - phase) and a
    // term at twice the pilot that the loop averages away.
    const double dError = fMpx * fCos;
    m_dStep = std::clamp(m_dStep + m_dBeta * dError, m_dCentre - m_dPull, m_dCentre + m_dPull);
    m_dPhase += m_dStep + m_dAlpha * dError;
    if (m_dPhase > kTwoPi) {
        m_dPhase -= kTwoPi;
    }
    m_fInPhase += m_fLevelAlpha * (fMpx * fSin - m_fInPhase);
    m_fQuadrature += m_fLevelAlpha * (fMpx * fCos - m_fQuadrature);
    const float fLevel = Level();
    const bool bInStep = std::abs(m_fQuadrature) < 0.5f * std::abs(m_fInPhase);
    m_bLocked = bInStep && fLevel > (m_bLocked ? kLockOff : kLockOn);
    return dNow;
}

void CPilotPll::Reset() {
    m_dPhase = 0;
    m_dStep = m_dCentre;
    m_fInPhase = 0;
    m_fQuadrature = 0;
    m_bLocked = false;
}
