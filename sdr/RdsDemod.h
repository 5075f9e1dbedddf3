#pragma once

#include <array>
#include <complex>
#include <memory>
#include <span>
#include <vector>

#include "platform/rds/RdsBlock.h"
#include "sdr/FirDecimator.h"
#include "sdr/Mixer.h"
#include "sdr/RdsBitDecoder.h"

// RDS from the FM multiplex: the 57 kHz subcarrier mixed to baseband,
// decimated (a quarter of the multiplex rate at most, where a short filter
// keeps the programme out), resampled to 16 samples a bit and low-passed to the RDS band, its
// suppressed carrier recovered by a Costas loop, the bit clock by the
// biphase symbol's energy at each of the 16 phases, the bits differentially
// decoded and handed to the block decoder.
//
// Not thread-safe: the demodulator's thread feeds it.
class CRdsDemod {
public:
    explicit CRdsDemod(double dMpxRate);
    ~CRdsDemod();

    CRdsDemod(const CRdsDemod&) = delete;
    CRdsDemod& operator=(const CRdsDemod&) = delete;

    // Appends the blocks the multiplex samples complete.
    void Process(std::span<const float> mpx, std::vector<SRdsBlock>& blocks);
    bool Synced() const { return m_bits.Synced(); }
    void Reset();

    static constexpr double kSubcarrierHz = 57'000;
    static constexpr double kBitRate = 1187.5;
    static constexpr int kSamplesPerBit = 16;

private:
    struct SLiquid;

    void Symbol(std::complex<float> sample, std::vector<SRdsBlock>& blocks);

    double m_dMpxRate;
    std::unique_ptr<SLiquid> m_pLiquid;
    CMixer m_mixer;
    unsigned m_nDecimation;
    CFirDecimator m_decimatorI;
    CFirDecimator m_decimatorQ;
    // Costas loop.
    double m_dCarrierPhase = 0;
    double m_dCarrierStep = 0;
    float m_fPower = 0;
    // Bit clock.
    std::array<float, kSamplesPerBit> m_template{};
    std::array<float, kSamplesPerBit> m_ring{};
    std::array<float, kSamplesPerBit> m_energy{};
    unsigned m_nSample = 0;
    int m_nClockPhase = 0;
    bool m_bLastSymbol = false;
    CRdsBitDecoder m_bits;
    std::vector<float> m_decimatedI;
    std::vector<float> m_decimatedQ;
    std::vector<std::complex<float>> m_decimated;
    std::vector<std::complex<float>> m_resampled;
};
