#include "platform/mixer/AlsaMixerMapping.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

#include "platform/mixer/MixerTypes.h"

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::vector<std::string> Words(std::string_view name) {
    std::vector<std::string> words;
    std::string word;
    for (char c : Lower(name)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

bool HasWord(const std::vector<std::string>& words, std::initializer_list<std::string_view> any) {
    return std::any_of(words.begin(), words.end(), [&](const std::string& word) {
        return std::find(any.begin(), any.end(), word) != any.end();
    });
}

int FirstNamed(const std::vector<std::string>& names,
               std::initializer_list<std::string_view> preferred) {
    for (std::string_view wanted : preferred) {
        for (size_t i = 0; i < names.size(); ++i) {
            if (Lower(names[i]) == Lower(wanted)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

}  // namespace

uint32_t AlsaComponentType(std::string_view elementName) {
    const std::vector<std::string> words = Words(elementName);
    if (HasWord(words, {"boost"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
    }
    // Before "speaker" and "phone" could mislead the checks below.
    if (HasWord(words, {"beep"}) || (HasWord(words, {"pc"}) && HasWord(words, {"speaker"}))) {
        return MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER;
    }
    if (HasWord(words, {"mic", "microphone"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    }
    if (HasWord(words, {"line"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_LINE;
    }
    if (HasWord(words, {"cd"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
    }
    if (HasWord(words, {"pcm", "wave", "dac"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    }
    if (HasWord(words, {"synth", "fm", "midi", "music"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
    }
    if (HasWord(words, {"phone"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE;
    }
    if (HasWord(words, {"aux", "video"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY;
    }
    if (HasWord(words, {"iec958", "spdif", "digital"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_DIGITAL;
    }
    if (HasWord(words, {"analog"})) {
        return MIXERLINE_COMPONENTTYPE_SRC_ANALOG;
    }
    return MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED;
}

int AlsaSpeakersElement(const std::vector<std::string>& names) {
    return FirstNamed(names, {"Master", "Speaker", "Headphone", "PCM"});
}

int AlsaCaptureElement(const std::vector<std::string>& names) {
    return FirstNamed(names, {"Capture"});
}

uint32_t AlsaToMixerVolume(long raw, long min, long max) {
    if (max <= min) {
        return 0;
    }
    const long long range = static_cast<long long>(max) - min;
    const long long step = static_cast<long long>(std::clamp(raw, min, max)) - min;
    return static_cast<uint32_t>((step * 65535 + range / 2) / range);
}

long AlsaFromMixerVolume(uint32_t value, long min, long max) {
    if (max <= min) {
        return min;
    }
    const long long range = static_cast<long long>(max) - min;
    const long long v = std::min<uint32_t>(value, 65535);
    return static_cast<long>(min + (v * range + 32767) / 65535);
}

uint32_t AlsaReadVolume(long raw, long min, long max, const SAlsaLastWrite& last) {
    if (last.bValid && last.nRaw == raw) {
        return last.nValue;
    }
    return AlsaToMixerVolume(raw, min, max);
}
