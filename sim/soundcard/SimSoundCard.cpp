#include "sim/soundcard/SimSoundCard.h"

#include <algorithm>

#include "platform/mixer/SimMixerControl.h"

namespace {

constexpr uint32_t kMasterVolume = 0xC000;
constexpr uint32_t kInputVolume = 0x8000;

}  // namespace

CSimSoundCard::CSimSoundCard(CSimMixerControl& mixer) : CSimSoundCard(mixer, {}) {}

CSimSoundCard::CSimSoundCard(CSimMixerControl& mixer, const SSimSoundCardLayout& layout)
    : m_mixer(mixer),
      m_strProductName(layout.strProductName),
      m_nChannels(std::max<uint32_t>(layout.nChannels, 1)),
      m_nDeviceID(mixer.AddDevice(layout.strProductName)) {
    auto fill = [&](uint32_t value) { return std::vector<uint32_t>(m_nChannels, value); };

    const uint32_t speakers = m_mixer.AddDestination(
        m_nDeviceID, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Volume Control", m_nChannels);
    m_nMasterVolume = m_mixer.AddControl(speakers, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0);
    m_nMasterMute = m_mixer.AddControl(speakers, MIXERCONTROL_CONTROLTYPE_MUTE,
                                       MIXERCONTROL_CONTROLF_UNIFORM, 0);
    m_mixer.SetValues(m_nMasterVolume, fill(kMasterVolume));

    for (const SSimSoundCardInput& input : layout.inputs) {
        const uint32_t line =
            m_mixer.AddSource(speakers, input.nComponentType, input.strName, m_nChannels);
        SInput added{input.nComponentType,
                     m_mixer.AddControl(line, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0),
                     m_mixer.AddControl(line, MIXERCONTROL_CONTROLTYPE_MUTE,
                                        MIXERCONTROL_CONTROLF_UNIFORM, 0)};
        m_mixer.SetValues(added.nVolume, fill(kInputVolume));
        const bool bMuted = input.nComponentType != MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
        m_mixer.SetValues(added.nMute, {bMuted ? 1u : 0u});
        m_inputs.push_back(added);
    }

    const uint32_t recording = m_mixer.AddDestination(
        m_nDeviceID, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Recording Control", m_nChannels);
    for (const SSimSoundCardInput& input : layout.inputs) {
        if (input.nComponentType == MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT) {
            continue;
        }
        const uint32_t line =
            m_mixer.AddSource(recording, input.nComponentType, input.strName, m_nChannels);
        m_mixer.SetValues(m_mixer.AddControl(line, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 0),
                          fill(kInputVolume));
    }
}

uint32_t CSimSoundCard::MasterVolume() const {
    const std::vector<uint32_t> values = m_mixer.Values(m_nMasterVolume);
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void CSimSoundCard::SetMasterVolume(uint32_t nValue) {
    m_mixer.SetValues(m_nMasterVolume, std::vector<uint32_t>(m_nChannels, nValue));
}

bool CSimSoundCard::IsMasterMuted() const {
    const std::vector<uint32_t> values = m_mixer.Values(m_nMasterMute);
    return !values.empty() && values[0] != 0;
}

void CSimSoundCard::SetMasterMute(bool bMuted) {
    m_mixer.SetValues(m_nMasterMute, {bMuted ? 1u : 0u});
}

const CSimSoundCard::SInput* CSimSoundCard::FindInput(uint32_t nComponentType) const {
    auto input = std::find_if(m_inputs.begin(), m_inputs.end(), [&](const SInput& candidate) {
        return candidate.nComponentType == nComponentType;
    });
    return input == m_inputs.end() ? nullptr : &*input;
}

bool CSimSoundCard::IsInputMuted(uint32_t nComponentType) const {
    const SInput* input = FindInput(nComponentType);
    if (!input) {
        return true;
    }
    const std::vector<uint32_t> values = m_mixer.Values(input->nMute);
    return values.empty() || values[0] != 0;
}

void CSimSoundCard::SetInputMute(uint32_t nComponentType, bool bMuted) {
    if (const SInput* input = FindInput(nComponentType)) {
        m_mixer.SetValues(input->nMute, {bMuted ? 1u : 0u});
    }
}
