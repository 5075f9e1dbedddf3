#include "sdr/FirDecimator.h"

#include <algorithm>

#include <liquid/liquid.h>

// x86-64's baseline has four-wide vectors and no FMA: its newer processors
// get a copy of their own. Not under ThreadSanitizer, whose runtime is not
// up yet when the loader picks the copy.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define KESTREL_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KESTREL_VECTOR_CLONES
#endif

namespace {

std::vector<float> UnitGain(std::vector<float> taps) {
    float fSum = 0;
    for (const float fTap : taps) {
        fSum += fTap;
    }
    for (float& fTap : taps) {
        fTap /= fSum;
    }
    return taps;
}

constexpr size_t kLanes = 8;

// Eight sums side by side (nCount a whole number of eight): one vector
// register, its lanes added at the end (the order of a float sum is no part
// of a filter's contract).
[[gnu::always_inline]] inline float Dot(const float* pTaps, const float* pSamples, size_t nCount) {
    float lanes[kLanes] = {};
    for (size_t n = 0; n < nCount; n += kLanes) {
        for (size_t k = 0; k < kLanes; ++k) {
            lanes[k] += pTaps[n + k] * pSamples[n + k];
        }
    }
    return ((lanes[0] + lanes[4]) + (lanes[1] + lanes[5])) +
           ((lanes[2] + lanes[6]) + (lanes[3] + lanes[7]));
}

// The taps last to first, after zeros up to whole vectors: the zeros meet
// older samples, and the sums are the same.
std::vector<float> Reversed(const std::vector<float>& taps) {
    std::vector<float> reversed((taps.size() + kLanes - 1) / kLanes * kLanes - taps.size(), 0.0f);
    reversed.insert(reversed.end(), taps.rbegin(), taps.rend());
    return reversed;
}

}  // namespace

CFirDecimator::CFirDecimator(std::vector<float> taps, unsigned nDecimation)
    : m_reversed(Reversed(taps)), m_nDecimation(std::max(1u, nDecimation)) {
    Reset();
}

void CFirDecimator::Reset() {
    m_buffer.assign(m_reversed.size() - 1, 0.0f);
    m_nNext = 0;
}

void CFirDecimator::Process(std::span<const float> input, std::vector<float>& output) {
    std::copy(input.begin(), input.end(), Extend(input.size()));
    Run(output);
}

float* CFirDecimator::Extend(size_t nSamples) {
    const size_t nAt = m_buffer.size();
    m_buffer.resize(nAt + nSamples);
    return m_buffer.data() + nAt;
}

// AVX2 and FMA where the processor has them, chosen once at load.
KESTREL_VECTOR_CLONES void CFirDecimator::Run(std::vector<float>& output) {
    const size_t nTaps = m_reversed.size();
    const size_t nCount = m_buffer.size() >= m_nNext + nTaps
                              ? (m_buffer.size() - m_nNext - nTaps) / m_nDecimation + 1
                              : 0;
    const size_t nFirst = output.size();
    output.resize(nFirst + nCount);
    for (size_t n = 0; n < nCount; ++n) {
        output[nFirst + n] = Dot(m_reversed.data(), m_buffer.data() + m_nNext, nTaps);
        m_nNext += m_nDecimation;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<long>(m_nNext));
    m_nNext = 0;
}

std::vector<float> CFirDecimator::LowPass(unsigned nDecimation, unsigned nHalfLength,
                                          float fStopbandDb) {
    return LowPass(0.5f / static_cast<float>(nDecimation), 2 * nDecimation * nHalfLength + 1,
                   fStopbandDb);
}

std::vector<float> CFirDecimator::LowPass(float fCutoff, unsigned nTaps, float fStopbandDb) {
    std::vector<float> taps(nTaps);
    liquid_firdes_kaiser(nTaps, fCutoff, fStopbandDb, 0.0f, taps.data());
    return UnitGain(std::move(taps));
}
