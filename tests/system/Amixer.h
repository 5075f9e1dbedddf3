#pragma once

#include <optional>
#include <string>
#include <vector>

// amixer, from alsa-utils: the card's own account of its controls, read and
// set beside the program's back-end rather than through it.
class CAmixer {
public:
    struct SChannel {
        long nRaw = 0;    // the card's own volume value
        bool bOn = true;  // playback switch; true where there is none
    };

    // "Mixer name" of `amixer -c N info`; empty when it cannot be read.
    static std::string MixerName(int nCard);
    // Front Left and Front Right of a simple control's playback side.
    static std::optional<std::vector<SChannel>> Read(int nCard, const std::string& strControl);
    // `amixer -c N sset <control> <values...>`; false when amixer refuses.
    static bool Set(int nCard, const std::string& strControl,
                    const std::vector<std::string>& values);
    // Whether a capture switch is on (`Capture [on]` on its left channel).
    static std::optional<bool> CaptureOn(int nCard, const std::string& strControl);

private:
    static std::optional<std::string> Run(const std::vector<std::string>& args);
};
