#include "sdr/Mixer.h"

#include <algorithm>
#include <numbers>

CMixer::CMixer(double dShiftHz, double dRate) : m_dRate(dRate) {
    SetShift(dShiftHz);
}

void CMixer::SetShift(double dShiftHz) {
    const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * dShiftHz / m_dRate);
    m_powers[0] = 1;
    for (size_t k = 1; k <= kChunk; ++k) {
        m_powers[k] = m_powers[k - 1] * step;
    }
    for (size_t k = 0; k < kChunk; ++k) {
        m_table[k] = std::complex<float>(m_powers[k]);
    }
}

// The running phasor times the table, in float: a chunk's rounding is gone
// with the next chunk's start.
const std::array<std::complex<float>, CMixer::kChunk>& CMixer::Chunk() {
    const std::complex<float> base(m_phasor);
    for (size_t k = 0; k < kChunk; ++k) {
        m_chunk[k] = {base.real() * m_table[k].real() - base.imag() * m_table[k].imag(),
                      base.real() * m_table[k].imag() + base.imag() * m_table[k].real()};
    }
    return m_chunk;
}

void CMixer::Advance(size_t nSamples) {
    m_phasor *= m_powers[nSamples];
    m_phasor /= std::abs(m_phasor);
}

void CMixer::Mix(std::span<const std::complex<float>> iq, float* pI, float* pQ) {
    for (size_t nAt = 0; nAt < iq.size(); nAt += kChunk) {
        const size_t nCount = std::min(kChunk, iq.size() - nAt);
        const auto& phasors = Chunk();
        const std::complex<float>* pIn = iq.data() + nAt;
        for (size_t k = 0; k < nCount; ++k) {
            // By hand: std::complex's product checks for infinities.
            const float fRe = pIn[k].real() * phasors[k].real() - pIn[k].imag() * phasors[k].imag();
            const float fIm = pIn[k].real() * phasors[k].imag() + pIn[k].imag() * phasors[k].real();
            pI[nAt + k] = fRe;
            pQ[nAt + k] = fIm;
        }
        Advance(nCount);
    }
}

void CMixer::Mix(std::span<const float> samples, float* pI, float* pQ) {
    for (size_t nAt = 0; nAt < samples.size(); nAt += kChunk) {
        const size_t nCount = std::min(kChunk, samples.size() - nAt);
        const auto& phasors = Chunk();
        for (size_t k = 0; k < nCount; ++k) {
            pI[nAt + k] = samples[nAt + k] * phasors[k].real();
            pQ[nAt + k] = samples[nAt + k] * phasors[k].imag();
        }
        Advance(nCount);
    }
}
