#pragma once

#include <complex>
#include <memory>
#include <span>
#include <vector>

#include "sdr/FirDecimator.h"
#include "sdr/Mixer.h"

// Broadcast AM from complex baseband: the station at an offset from the
// centre is mixed down, decimated to about 48 kHz, filtered to its channel
// (9 or 10 kHz, the standard's spacing), its envelope detected and divided
// by the carrier's own level (the AGC: a 50 % modulated tone comes out at
// half scale whatever the signal strength), and resampled to the audio rate.
//
// Not thread-safe: one thread feeds it. Output is interleaved stereo float,
// the same programme on both channels.
class CAmDemod {
public:
    struct SConfig {
        double dInputRate = 2'400'000;
        double dOffsetHz = 0;
        int nAudioRate = 48000;
        double dChannelHz = 9000;
    };

    explicit CAmDemod(const SConfig& config);
    ~CAmDemod();

    CAmDemod(const CAmDemod&) = delete;
    CAmDemod& operator=(const CAmDemod&) = delete;

    void SetOffset(double dOffsetHz);
    // Appends the frames the samples make to audio (two floats a frame).
    void Process(std::span<const std::complex<float>> iq, std::vector<float>& audio);

    // The last block's decimated baseband, the station at 0 Hz, for the
    // station test; before the channel filter, so the neighbours show.
    const std::vector<std::complex<float>>& Baseband() const { return m_baseband; }
    double BasebandRate() const { return m_dBasebandRate; }
    // The carrier's level as the AGC holds it.
    double Carrier() const { return m_dCarrier; }

private:
    struct SLiquid;

    SConfig m_config;
    int m_nDecimation;
    double m_dBasebandRate;
    std::unique_ptr<SLiquid> m_pLiquid;
    CMixer m_mixer;
    CFirDecimator m_firstI;
    CFirDecimator m_firstQ;
    CFirDecimator m_secondI;
    CFirDecimator m_secondQ;
    CFirDecimator m_channelI;
    CFirDecimator m_channelQ;
    double m_dCarrier = 0;
    double m_dCarrierWeight;
    std::vector<float> m_stepI;
    std::vector<float> m_stepQ;
    std::vector<float> m_basebandI;
    std::vector<float> m_basebandQ;
    std::vector<std::complex<float>> m_baseband;
    std::vector<float> m_envelope;
    std::vector<float> m_resampled;
};
