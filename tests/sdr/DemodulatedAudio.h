#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

// What the demodulators give, at 48 kHz, as the DSP tests look at it.
struct SAudio {
    static constexpr int kRate = 48000;

    // From the demodulators' interleaved frames.
    static SAudio Split(const std::vector<float>& interleaved) {
        SAudio audio;
        for (size_t n = 0; n + 1 < interleaved.size(); n += 2) {
            audio.left.push_back(interleaved[n]);
            audio.right.push_back(interleaved[n + 1]);
        }
        return audio;
    }

    std::vector<float> left;
    std::vector<float> right;
};

// A tone's amplitude over the last 0.2 s (a whole number of cycles of
// every tone the tests use, so nothing leaks between them).
inline double Amplitude(const std::vector<float>& samples, double dHz) {
    const size_t nCount = SAudio::kRate / 5;
    EXPECT_GE(samples.size(), nCount);
    const size_t nFirst = samples.size() - nCount;
    std::complex<double> sum;
    for (size_t n = 0; n < nCount; ++n) {
        const double dPhase = -2 * std::numbers::pi * dHz * static_cast<double>(n) / SAudio::kRate;
        sum += static_cast<double>(samples[nFirst + n]) * std::polar(1.0, dPhase);
    }
    return 2 * std::abs(sum) / static_cast<double>(nCount);
}

inline double Db(double dRatio) {
    return 20 * std::log10(dRatio);
}
