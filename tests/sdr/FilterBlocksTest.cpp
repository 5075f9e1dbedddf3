#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "sdr/FirDecimator.h"
#include "sdr/Mixer.h"

// Fed in pieces of any size, the decimator gives what the plain
// convolution gives at every nth sample, its taps' length not a whole
// number of vectors.
TEST(FilterBlocksTest, TheDecimatorIsThePlainConvolutionInAnyPieces) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-1, 1);
    std::vector<float> taps(37);
    for (float& fTap : taps) {
        fTap = value(random);
    }
    std::vector<float> input(5000);
    for (float& fSample : input) {
        fSample = value(random);
    }
    constexpr unsigned kDecimation = 5;
    CFirDecimator decimator(taps, kDecimation);
    std::vector<float> output;
    for (size_t nAt = 0, nPiece = 1; nAt < input.size(); nAt += nPiece, nPiece = nPiece * 3 % 97) {
        const size_t nCount = std::min(nPiece, input.size() - nAt);
        decimator.Process(std::span(input.data() + nAt, nCount), output);
    }
    ASSERT_EQ(output.size(), (input.size() - 1) / kDecimation + 1);
    for (size_t n = 0; n < output.size(); ++n) {
        // Output n is the filter's at input n * kDecimation.
        const size_t nAt = n * kDecimation;
        double dExpected = 0;
        for (size_t k = 0; k < taps.size() && k <= nAt; ++k) {
            dExpected += taps[k] * input[nAt - k];
        }
        ASSERT_NEAR(output[n], dExpected, 1e-4) << n;
    }
}

// A minute of samples later, the mixer's phasor is where the exact one is:
// no drift off the unit circle or in phase.
TEST(FilterBlocksTest, TheMixerStaysInStepOverAMinute) {
    constexpr double kRate = 240'000;
    constexpr double kShift = 57'000.3;
    CMixer mixer(kShift, kRate);
    std::vector<std::complex<float>> ones(65536, {1.0f, 0.0f});
    std::vector<float> i(ones.size());
    std::vector<float> q(ones.size());
    size_t nDone = 0;
    while (nDone + ones.size() <= static_cast<size_t>(60 * kRate)) {
        mixer.Mix(ones, i.data(), q.data());
        nDone += ones.size();
    }
    const size_t nLast = ones.size() - 1;
    const std::complex<double> expected =
        std::polar(1.0, -2 * std::numbers::pi * kShift * static_cast<double>(nDone - 1) / kRate);
    EXPECT_NEAR(i[nLast], expected.real(), 1e-4);
    EXPECT_NEAR(q[nLast], expected.imag(), 1e-4);
    EXPECT_NEAR(std::hypot(i[nLast], q[nLast]), 1.0, 1e-5);
}
