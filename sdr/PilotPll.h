#pragma once

// Locks to the 19 kHz stereo pilot in an FM multiplex: a second-order loop
// around a numerically controlled oscillator, with a lock detector on the
// pilot's level (nominal injection is a tenth of the full deviation).
class CPilotPll {
public:
    explicit CPilotPll(double dSampleRate);

    // One multiplex sample (full deviation = 1); returns the oscillator's
    // phase at that sample, in radians, in step with the pilot's sine.
    double Next(float fMpx);
    // The pilot's amplitude against the nominal 10 % (about 1 when present).
    float Level() const { return m_fInPhase * 2.0f / kNominal; }
    bool Locked() const { return m_bLocked; }
    void Reset();

    static constexpr double kPilotHz = 19000.0;
    static constexpr float kNominal = 0.1f;

private:
    const double m_dCentre;  // radians a sample at 19 kHz
    const double m_dPull;    // how far the loop may pull from it
    const double m_dAlpha;
    const double m_dBeta;
    const float m_fLevelAlpha;
    double m_dPhase = 0;
    double m_dStep;
    float m_fInPhase = 0;
    float m_fQuadrature = 0;
    bool m_bLocked = false;
};
