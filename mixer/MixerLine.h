#pragma once

#include "mixer/MixerBase.h"

// A CMixerBase bound to one of eight fixed targets: master volume (0) and
// mute (1) of the speakers mix, the line input's mute (2, 7), CD (3) and wave
// (4) volume, the recording microphone volume (5) and the microphone's mute
// in the speakers mix (6).
class CMixerLine : public CMixerBase {
public:
    explicit CMixerLine(CMixerServices& services);

    // A failed selection keeps the previous one (the object is closed, though).
    bool SelectLine(CMessageTarget* pNotify, int nTarget, const std::string& strMixerName);
    // The louder of the first two channels of a volume target; 0 otherwise.
    uint32_t GetVolume();

    // -1 until a target has been selected.
    int Selection() const { return m_nSelection; }

private:
    const std::vector<uint32_t>* m_pVolumeValues = nullptr;
    const std::vector<uint32_t>* m_pMuteValues = nullptr;
    int m_nSelection = -1;
};
