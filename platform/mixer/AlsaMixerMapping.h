#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How the ALSA simple mixer is presented as mixer lines and values. Pure
// functions, so that they can be checked without a sound card.

// The source component type (SRC_*) of a playback or capture element, from
// the words of its name: "Line", "Front Mic", "CD", "PCM" and so on. Boost
// stages and output-only elements are SRC_UNDEFINED.
uint32_t AlsaComponentType(std::string_view elementName);

// Which playback element stands for the speakers destination: "Master", or on
// cards without one the nearest thing ("Speaker", "Headphone", "PCM"). An
// index into names, or -1.
int AlsaSpeakersElement(const std::vector<std::string>& names);

// Which capture element is the capture side's own ("Capture"), or -1.
int AlsaCaptureElement(const std::vector<std::string>& names);

// The element's raw range [min, max] onto 0..65535 and back, rounding to the
// nearest step. A raw value survives the round trip whenever the range has at
// most 65536 steps, and a mixer value whenever it has at least that many.
uint32_t AlsaToMixerVolume(long raw, long min, long max);
long AlsaFromMixerVolume(uint32_t value, long min, long max);

// The last value written to one channel. A range with fewer steps than
// 0..65535 cannot keep every value, so a channel that still holds the raw
// value we wrote reads back as the value that was written, and a slider
// does not creep when it is reloaded.
struct SAlsaLastWrite {
    bool bValid = false;
    long nRaw = 0;
    uint32_t nValue = 0;
};

uint32_t AlsaReadVolume(long raw, long min, long max, const SAlsaLastWrite& last);
