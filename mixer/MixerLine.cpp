#include "mixer/MixerLine.h"

#include <algorithm>

namespace {

struct STarget {
    uint32_t nDestination;
    uint32_t nSource;
    uint32_t nControl;
    bool bVolume;
};

constexpr STarget kTargets[] = {
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXER_NO_SOURCE, MIXERCONTROL_CONTROLTYPE_VOLUME, true},
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXER_NO_SOURCE, MIXERCONTROL_CONTROLTYPE_MUTE, false},
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_LINE,
     MIXERCONTROL_CONTROLTYPE_MUTE, false},
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC,
     MIXERCONTROL_CONTROLTYPE_VOLUME, true},
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT,
     MIXERCONTROL_CONTROLTYPE_VOLUME, true},
    {MIXERLINE_COMPONENTTYPE_DST_WAVEIN, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
     MIXERCONTROL_CONTROLTYPE_VOLUME, true},
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
     MIXERCONTROL_CONTROLTYPE_MUTE, false},
    {MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, MIXERLINE_COMPONENTTYPE_SRC_LINE,
     MIXERCONTROL_CONTROLTYPE_MUTE, false},
};
constexpr int kTargetCount = static_cast<int>(std::size(kTargets));

bool IsVolumeTarget(int nTarget) {
    return nTarget >= 0 && nTarget < kTargetCount && kTargets[nTarget].bVolume;
}

}  // namespace

CMixerLine::CMixerLine(CMixerServices& services) : CMixerBase(services) {}

bool CMixerLine::SelectLine(CMessageTarget* pNotify, int nTarget, const std::string& strMixerName) {
    if (nTarget < 0 || nTarget >= kTargetCount) {
        return false;
    }
    const STarget& target = kTargets[nTarget];
    if (!Init(target.nDestination, target.nSource, target.nControl, pNotify, strMixerName)) {
        return false;
    }
    (target.bVolume ? m_pVolumeValues : m_pMuteValues) = &Values();
    m_nSelection = nTarget;
    return true;
}

uint32_t CMixerLine::GetVolume() {
    if (!IsOpen() || !ReadDetails() || !IsVolumeTarget(m_nSelection) || !m_pVolumeValues ||
        m_pVolumeValues->empty()) {
        return 0;
    }
    const std::vector<uint32_t>& values = *m_pVolumeValues;
    if (values.size() < 2) {
        return values[0];
    }
    // A second channel beyond the volume range is not a volume at all.
    const uint32_t second = values[1] > 65535 ? 0 : values[1];
    return std::max(values[0], second);
}
