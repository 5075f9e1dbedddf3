#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/mixer/MixerTypes.h"

class CSimMixerControl;

struct SSimSoundCardInput {
    uint32_t nComponentType;
    std::string strName;
};

struct SSimSoundCardLayout {
    std::string strProductName = "Kestrel Virtual Audio";
    // The sources of the speakers mix, in order. All but wave-out are also
    // inputs of the recording side.
    std::vector<SSimSoundCardInput> inputs = {
        {MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, "Wave"},
        {MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD Player"},
        {MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line In"},
        {MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Microphone"},
    };
    uint32_t nChannels = 2;
};

// A sound card as demo mode and the tests of the mixer's callers want it,
// laid out on the simulated mixer: a speakers mix with master volume and mute
// and the inputs of the layout, each with its own volume and mute, and a
// recording side whose inputs have a volume. The inputs start muted in the
// speakers mix, except wave-out, as a desktop leaves them. The operations
// below act as the user at the desktop's own mixer would.
class CSimSoundCard {
public:
    CSimSoundCard(CSimMixerControl& mixer, const SSimSoundCardLayout& layout);
    explicit CSimSoundCard(CSimMixerControl& mixer);

    int DeviceID() const { return m_nDeviceID; }
    const std::string& ProductName() const { return m_strProductName; }

    // The louder channel.
    uint32_t MasterVolume() const;
    void SetMasterVolume(uint32_t nValue);
    bool IsMasterMuted() const;
    void SetMasterMute(bool bMuted);

    // Whether the speakers mix leaves out the first input of this type: true
    // also when the card has no such input.
    bool IsInputMuted(uint32_t nComponentType) const;
    void SetInputMute(uint32_t nComponentType, bool bMuted);

private:
    struct SInput {
        uint32_t nComponentType;
        uint32_t nVolume;
        uint32_t nMute;
    };
    const SInput* FindInput(uint32_t nComponentType) const;

    CSimMixerControl& m_mixer;
    std::string m_strProductName;
    uint32_t m_nChannels;
    int m_nDeviceID;
    uint32_t m_nMasterVolume = 0;
    uint32_t m_nMasterMute = 0;
    std::vector<SInput> m_inputs;
};
