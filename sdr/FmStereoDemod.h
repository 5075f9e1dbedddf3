#pragma once

#include <complex>
#include <memory>
#include <span>
#include <vector>

#include "sdr/Deemphasis.h"
#include "sdr/FirDecimator.h"
#include "sdr/Mixer.h"
#include "sdr/PilotPll.h"

// Broadcast FM from complex baseband: the station at an offset from the
// centre is mixed down, filtered to its channel and decimated to the
// multiplex rate (about 240 kHz), discriminated, its pilot locked, decoded
// to left and right (mono when the pilot is weak or mono is asked for),
// low-passed at 15 kHz, de-emphasized and resampled to the audio rate.
//
// Not thread-safe: one thread feeds it. Output is interleaved stereo float,
// a full-scale tone at the transmitter coming out at its amplitude.
class CFmStereoDemod {
public:
    struct SConfig {
        double dInputRate = 2'400'000;
        double dOffsetHz = 0;  // the station against the centre
        int nAudioRate = 48000;
        double dDeemphasisUs = 50;
        bool bForceMono = false;
    };

    explicit CFmStereoDemod(const SConfig& config);
    ~CFmStereoDemod();

    CFmStereoDemod(const CFmStereoDemod&) = delete;
    CFmStereoDemod& operator=(const CFmStereoDemod&) = delete;

    // Another station within the same span: the filters keep their state.
    void SetOffset(double dOffsetHz);
    void SetForceMono(bool bMono) { m_config.bForceMono = bMono; }

    // Appends the frames the samples make to audio (two floats a frame).
    void Process(std::span<const std::complex<float>> iq, std::vector<float>& audio);

    bool Stereo() const { return !m_config.bForceMono && m_pilot.Locked(); }
    const CPilotPll& Pilot() const { return m_pilot; }
    double MpxRate() const { return m_dMpxRate; }
    // The last block's multiplex, for the RDS demodulator.
    const std::vector<float>& Multiplex() const { return m_mpx; }

    static constexpr double kDeviationHz = 75'000;

private:
    struct SLiquid;

    void Demodulate();
    void Decode(std::vector<float>& audio);

    SConfig m_config;
    int m_nChannelDecimation;
    double m_dMpxRate;
    int m_nAudioDecimation;
    double m_dDecodedRate;
    std::unique_ptr<SLiquid> m_pLiquid;
    CMixer m_mixer;
    CFirDecimator m_firstI;
    CFirDecimator m_firstQ;
    CFirDecimator m_channelI;
    CFirDecimator m_channelQ;
    CFirDecimator m_sumFilter;
    CFirDecimator m_differenceFilter;
    std::complex<float> m_last{1, 0};
    CPilotPll m_pilot;
    CDeemphasis m_deemphasisLeft;
    CDeemphasis m_deemphasisRight;
    // Work buffers, kept to spare the allocations.
    std::vector<float> m_firstOutI;
    std::vector<float> m_firstOutQ;
    std::vector<float> m_channelOutI;
    std::vector<float> m_channelOutQ;
    std::vector<float> m_mpx;
    std::vector<float> m_difference;
    std::vector<float> m_sumDecimated;
    std::vector<float> m_differenceDecimated;
    std::vector<float> m_left;
    std::vector<float> m_right;
    std::vector<float> m_leftOut;
    std::vector<float> m_rightOut;
};
