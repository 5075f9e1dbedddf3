#pragma once

#include <complex>
#include <span>

// Locks to the 19 kHz stereo pilot in an FM multiplex: a second-order loop
// around a numerically controlled oscillator, with a lock detector on the
// pilot's level (nominal injection is a tenth of the full deviation).
class CPilotPll {
public:
    explicit CPilotPll(double dSampleRate);

    // Multiplex samples (full deviation = 1) in; the 38 kHz subcarrier at
    // each, in step with its sine (sin 2x of the pilot's phase x), out.
    void Process(std::span<const float> mpx, float* pSubcarrier);
    // The pilot's amplitude against the nominal 10 % (about 1 when present).
    float Level() const { return m_fInPhase * 2.0f / kNominal; }
    bool Locked() const { return m_bLocked; }
    void Reset();

    static constexpr double kPilotHz = 19000.0;
    static constexpr float kNominal = 0.1f;

private:
    static constexpr size_t kChunk = 16;

    const double m_dCentre;  // radians a sample at 19 kHz
    const double m_dPull;    // how far the loop may pull from it
    const double m_dAlpha;
    const double m_dBeta;
    const float m_fLevelAlpha;
    double m_dStep;
    double m_dNudge = 0;  // the phase the next chunk turns by beside its steps
    std::complex<float> m_oscillator{1.0f, 0.0f};  // cos and sin of the phase
    float m_fInPhase = 0;
    float m_fQuadrature = 0;
    bool m_bLocked = false;
};
