#pragma once

#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/rds/RdsBlock.h"

// Complex baseband of FM broadcast stations, as a dongle tuned near them
// would deliver it: each station's left and right programme (sums of
// tones), its multiplex (sum, pilot, difference on the 38 kHz subcarrier),
// RDS (differentially coded biphase at 1187.5 bit/s, on three times the
// pilot), frequency-modulated at 75 kHz deviation at its offset from the
// centre, plus white noise; or AM stations, whose carrier the left
// programme modulates. For the tests, the benchmarks and the demo.
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
        // Sent round and round on the 57 kHz subcarrier; none: no RDS.
        std::vector<SRdsBlock> rds;
        double dRdsShare = 0.05;  // of the deviation
        // Amplitude modulation by the left programme, its amplitudes the
        // depth; the rest above does not apply.
        bool bAm = false;
    };

    CFmStereoSynth(double dSampleRate, std::vector<SStation> stations, double dNoiseLevel = 0,
                   uint32_t nSeed = 1);

    // The next nSamples samples.
    void Generate(std::vector<std::complex<float>>& iq, size_t nSamples);
    double SampleRate() const { return m_dRate; }

private:
    struct SState {
        double dCarrierPhase = 0;
        std::vector<uint8_t> rdsBits;
        uint64_t nRdsBit = ~uint64_t{0};
        bool bRdsLevel = false;  // the differential coder's output
    };
    void GenerateAm(const SStation& station, double& dPhase,
                    std::vector<std::complex<float>>& iq) const;
    static double Tones(const std::vector<STone>& tones, double dSeconds);
    // The RDS baseband at that moment: the biphase symbol of its bit.
    static double RdsSignal(SState& state, double dSeconds);

    double m_dRate;
    std::vector<SStation> m_stations;
    std::vector<SState> m_state;
    double m_dNoise;
    std::mt19937 m_random;
    std::normal_distribution<float> m_gauss{0.0f, 1.0f};
    uint64_t m_nSample = 0;
};
