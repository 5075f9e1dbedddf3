#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/receiver/SimProgramme.h"

// The sound of the simulated receiver's programme, so that a recording made in
// demo mode tells its stations apart: on a station a chord whose root is the
// station's tone and whose shape follows the station's number, hiss between
// stations, silence while muted. Phases run on across calls, so that
// consecutive blocks join without clicks.
//
// Not thread-safe: one synthesiser per stream.
class CProgrammeSynth {
public:
    // Fills nFrames frames of interleaved 16-bit samples, every channel alike.
    void Render(const SSimProgramme& programme, int16_t* pSamples, size_t nFrames, int nChannels,
                int nSampleRate);

    // What a source without a receiver plays: hiss.
    static SSimProgramme NoReceiver();

private:
    // A sine oscillator kept as a unit phasor, turned by one step per sample.
    struct SVoice {
        double dCos = 1.0;
        double dSin = 0.0;
    };

    double NextNoise();

    std::array<SVoice, 3> m_voices;
    uint32_t m_nNoise = 0x9E3779B9u;
};
