#pragma once

#include <complex>
#include <cstdint>
#include <random>
#include <vector>

// Complex baseband of FM broadcast stations, as a dongle tuned near them
// would deliver it: each station's left and right programme (sums of
// tones), its multiplex (sum, pilot, difference on the 38 kHz subcarrier),
// frequency-modulated at 75 kHz deviation at its offset from the centre,
// plus white noise. For the tests, the benchmarks and the demo.
class CFmStereoSynth {
public:
    struct STone {
        double dHz = 1000;
        double dAmplitude = 0.5;  // of full scale
    };
    struct SStation {
        double dOffsetHz = 0;
        std::vector<STone> left;
        std::vector<STone> right;
        bool bPilot = true;        // stereo; without it the difference is left out too
        double dPilotShare = 0.1;  // of the deviation
        double dLevel = 1.0;       // carrier amplitude
    };

    CFmStereoSynth(double dSampleRate, std::vector<SStation> stations, double dNoiseLevel = 0,
                   uint32_t nSeed = 1);

    // The next nSamples samples.
    void Generate(std::vector<std::complex<float>>& iq, size_t nSamples);
    double SampleRate() const { return m_dRate; }

private:
    struct SState {
        double dCarrierPhase = 0;
    };
    static double Tones(const std::vector<STone>& tones, double dSeconds);

    double m_dRate;
    std::vector<SStation> m_stations;
    std::vector<SState> m_state;
    double m_dNoise;
    std::mt19937 m_random;
    std::normal_distribution<float> m_gauss{0.0f, 1.0f};
    uint64_t m_nSample = 0;
};
