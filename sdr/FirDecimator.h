#pragma once

#include <span>
#include <vector>

// A decimating FIR filter on a real stream (a complex one is two of them,
// on I and Q), its inner product written for the compiler to vectorize:
// Debian's liquid-dsp is built without SIMD, and this filter is most of an
// FM receiver's work.
//
// Not thread-safe: one thread feeds it.
class CFirDecimator {
public:
    // taps as designed (in time order); every nDecimation-th output is kept.
    CFirDecimator(std::vector<float> taps, unsigned nDecimation);

    // Appends the outputs the input makes; the input short of the next
    // output waits for the next call.
    void Process(std::span<const float> input, std::vector<float>& output);
    // The same in two steps, for a producer that writes the input in place:
    // room for nSamples more, then the outputs they make.
    float* Extend(size_t nSamples);
    void Run(std::vector<float>& output);
    void Reset();

    // A low-pass for decimating by nDecimation: Kaiser-windowed, half a
    // step's band, nHalfLength output steps either side, unit gain at DC.
    static std::vector<float> LowPass(unsigned nDecimation, unsigned nHalfLength,
                                      float fStopbandDb);
    // A low-pass at fCutoff (of the rate), nTaps long, unit gain at DC.
    static std::vector<float> LowPass(float fCutoff, unsigned nTaps, float fStopbandDb);

private:
    std::vector<float> m_reversed;  // the taps last to first: a plain inner product
    unsigned m_nDecimation;
    std::vector<float> m_buffer;  // what the next outputs reach back to, then the input
    size_t m_nNext = 0;           // where the next output's window starts
};
