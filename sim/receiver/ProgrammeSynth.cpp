#include "sim/receiver/ProgrammeSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Intervals above the root of the four chord shapes that stations take in
// turn: major, minor, suspended fourth, open fifth with octave.
constexpr std::array<std::array<double, 2>, 4> kChords{{
    {5.0 / 4.0, 3.0 / 2.0},
    {6.0 / 5.0, 3.0 / 2.0},
    {4.0 / 3.0, 3.0 / 2.0},
    {3.0 / 2.0, 2.0},
}};
constexpr std::array<double, 3> kVoiceGain{0.5, 0.25, 0.25};
constexpr double kHissLevel = 0.25;
constexpr double kFullScale = 0.8 * 32767.0;

int16_t ToSample(double dValue) {
    return static_cast<int16_t>(std::lround(std::clamp(dValue, -1.0, 1.0) * kFullScale));
}

}  // namespace

SSimProgramme CProgrammeSynth::NoReceiver() {
    return SSimProgramme{false, false, -1, 0.0, 0.0};
}

double CProgrammeSynth::NextNoise() {
    // xorshift32: cheap, and the same hiss on every run.
    m_nNoise ^= m_nNoise << 13;
    m_nNoise ^= m_nNoise >> 17;
    m_nNoise ^= m_nNoise << 5;
    return static_cast<double>(m_nNoise) / 2147483648.0 - 1.0;
}

void CProgrammeSynth::Render(const SSimProgramme& programme, int16_t* pSamples, size_t nFrames,
                             int nChannels, int nSampleRate) {
    const auto nStride = static_cast<size_t>(std::max(nChannels, 1));
    if (programme.bMuted) {
        std::fill(pSamples, pSamples + nFrames * nStride, int16_t{0});
        return;
    }
    if (!programme.bOnStation || programme.dToneHz <= 0.0 || nSampleRate <= 0) {
        for (size_t nFrame = 0; nFrame < nFrames; ++nFrame) {
            std::fill_n(pSamples + nFrame * nStride, nStride, ToSample(kHissLevel * NextNoise()));
        }
        return;
    }

    const auto& chord =
        kChords[static_cast<size_t>(std::max(programme.nStation, 0)) % kChords.size()];
    const std::array<double, 3> frequencies{programme.dToneHz, programme.dToneHz * chord[0],
                                            programme.dToneHz * chord[1]};
    std::array<double, 3> stepCos{};
    std::array<double, 3> stepSin{};
    for (size_t n = 0; n < frequencies.size(); ++n) {
        const double dStep = 2.0 * std::numbers::pi * frequencies[n] / nSampleRate;
        stepCos[n] = std::cos(dStep);
        stepSin[n] = std::sin(dStep);
    }
    const double dLevel = std::clamp(programme.dLevel, 0.0, 1.0);
    for (size_t nFrame = 0; nFrame < nFrames; ++nFrame) {
        double dValue = 0.0;
        for (size_t n = 0; n < m_voices.size(); ++n) {
            SVoice& voice = m_voices[n];
            dValue += kVoiceGain[n] * voice.dSin;
            const double dCos = voice.dCos * stepCos[n] - voice.dSin * stepSin[n];
            voice.dSin = voice.dCos * stepSin[n] + voice.dSin * stepCos[n];
            voice.dCos = dCos;
        }
        std::fill_n(pSamples + nFrame * nStride, nStride, ToSample(dLevel * dValue));
    }
    // Rounding drifts the phasors off the unit circle; pull them back once a block.
    for (SVoice& voice : m_voices) {
        const double dNorm = std::hypot(voice.dCos, voice.dSin);
        voice.dCos /= dNorm;
        voice.dSin /= dNorm;
    }
}
