#pragma once

#include <array>
#include <complex>
#include <span>

// Moves a stream down by a frequency: multiplies it by a phasor that turns
// the other way. The phasor is kept in double from chunk to chunk (a float
// one drifts off the unit circle) and taken from a table within a chunk,
// so the samples' products do not wait on each other and vectorize.
//
// Not thread-safe: one thread feeds it.
class CMixer {
public:
    // dShiftHz moves the stream down by that much at dRate samples a second.
    CMixer(double dShiftHz, double dRate);

    void SetShift(double dShiftHz);
    // Complex in, I and Q out (pI and pQ hold iq.size() each).
    void Mix(std::span<const std::complex<float>> iq, float* pI, float* pQ);
    // Real in, I and Q out.
    void Mix(std::span<const float> samples, float* pI, float* pQ);

private:
    static constexpr size_t kChunk = 256;

    // The phasor of each sample of the next chunk, from the running one.
    const std::array<std::complex<float>, kChunk>& Chunk();
    void Advance(size_t nSamples);

    double m_dRate;
    std::complex<double> m_phasor{1, 0};
    std::array<std::complex<double>, kChunk + 1> m_powers{};  // step^k in double
    std::array<std::complex<float>, kChunk> m_table{};        // the same in float
    std::array<std::complex<float>, kChunk> m_chunk{};
};
