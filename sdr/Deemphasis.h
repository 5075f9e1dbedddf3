#pragma once

// FM broadcast de-emphasis: the one-pole low-pass of time constant tau
// (50 us in Europe and Japan, 75 us in the Americas) that undoes the
// transmitter's pre-emphasis, matched to the analog curve by impulse
// invariance.
class CDeemphasis {
public:
    CDeemphasis(double dSampleRate, double dTauMicroseconds);

    float Next(float fIn) {
        m_fState += m_fAlpha * (fIn - m_fState);
        return m_fState;
    }
    void Reset() { m_fState = 0; }

    // The analog curve's gain at a frequency (1 at 0 Hz).
    static double CurveGain(double dHz, double dTauMicroseconds);

private:
    float m_fAlpha;
    float m_fState = 0;
};
