#include "sdr/Deemphasis.h"

#include <cmath>
#include <numbers>

CDeemphasis::CDeemphasis(double dSampleRate, double dTauMicroseconds)
    : m_fAlpha(static_cast<float>(1.0 - std::exp(-1.0 / (dTauMicroseconds * 1e-6 * dSampleRate)))) {
}

double CDeemphasis::CurveGain(double dHz, double dTauMicroseconds) {
    const double dX = 2 * std::numbers::pi * dHz * dTauMicroseconds * 1e-6;
    return 1.0 / std::sqrt(1.0 + dX * dX);
}
