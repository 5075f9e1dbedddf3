#include "platform/media/AlsaCaptureInputs.h"

#include <alsa/asoundlib.h>

#include <memory>
#include <string_view>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";
constexpr std::string_view kCaptureGate = "Capture";

struct SMixerClose {
    void operator()(snd_mixer_t* p) const { snd_mixer_close(p); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, SMixerClose>;

MixerPtr OpenMixer(int nCard) {
    snd_mixer_t* pRaw = nullptr;
    if (snd_mixer_open(&pRaw, 0) < 0) {
        return nullptr;
    }
    MixerPtr pMixer(pRaw);
    const std::string name = "hw:" + std::to_string(nCard);
    if (snd_mixer_attach(pRaw, name.c_str()) < 0 ||
        snd_mixer_selem_register(pRaw, nullptr, nullptr) < 0 || snd_mixer_load(pRaw) < 0) {
        KestrelTrace(kTag, "mixer of card %d does not open", nCard);
        return nullptr;
    }
    return pMixer;
}

std::string ElementName(snd_mixer_elem_t* pElem) {
    std::string name = snd_mixer_selem_get_name(pElem);
    if (const unsigned nIndex = snd_mixer_selem_get_index(pElem); nIndex > 0) {
        name += " " + std::to_string(nIndex);
    }
    return name;
}

bool IsSwitchInput(snd_mixer_elem_t* pElem) {
    return snd_mixer_selem_has_capture_switch(pElem) &&
           std::string_view(snd_mixer_selem_get_name(pElem)) != kCaptureGate;
}

bool IsCaptureEnum(snd_mixer_elem_t* pElem) {
    return snd_mixer_selem_is_enumerated(pElem) && snd_mixer_selem_is_enum_capture(pElem);
}

// One input: an element switched on and off, or one item of an enumeration.
struct SInput {
    snd_mixer_elem_t* pElem;
    int nItem;  // -1 for a switch
    std::string strName;
};

std::vector<SInput> ListInputs(snd_mixer_t* pMixer) {
    std::vector<SInput> inputs;
    for (snd_mixer_elem_t* pElem = snd_mixer_first_elem(pMixer); pElem;
         pElem = snd_mixer_elem_next(pElem)) {
        if (snd_mixer_selem_is_active(pElem) && IsSwitchInput(pElem)) {
            inputs.push_back({pElem, -1, ElementName(pElem)});
        }
    }
    for (snd_mixer_elem_t* pElem = snd_mixer_first_elem(pMixer); pElem;
         pElem = snd_mixer_elem_next(pElem)) {
        if (!snd_mixer_selem_is_active(pElem) || !IsCaptureEnum(pElem)) {
            continue;
        }
        const int nItems = snd_mixer_selem_get_enum_items(pElem);
        for (int nItem = 0; nItem < nItems; ++nItem) {
            char szName[128] = {};
            if (snd_mixer_selem_get_enum_item_name(pElem, static_cast<unsigned>(nItem),
                                                   sizeof szName, szName) == 0) {
                inputs.push_back({pElem, nItem, szName});
            }
        }
    }
    return inputs;
}

bool SelectItem(snd_mixer_elem_t* pElem, int nItem) {
    bool bAny = false;
    for (int nChannel = 0; nChannel <= SND_MIXER_SCHN_LAST; ++nChannel) {
        const auto channel = static_cast<snd_mixer_selem_channel_id_t>(nChannel);
        if (snd_mixer_selem_set_enum_item(pElem, channel, static_cast<unsigned>(nItem)) < 0) {
            break;  // channels of an enumeration are numbered from 0 without gaps
        }
        bAny = true;
    }
    return bAny;
}

}  // namespace

std::vector<std::string> CAlsaCaptureInputs::Names() const {
    std::vector<std::string> names;
    MixerPtr pMixer = OpenMixer(m_nCard);
    if (!pMixer) {
        return names;
    }
    for (SInput& input : ListInputs(pMixer.get())) {
        names.push_back(std::move(input.strName));
    }
    return names;
}

MediaStatus CAlsaCaptureInputs::Enable(int nInput, bool bEnable) const {
    MixerPtr pMixer = OpenMixer(m_nCard);
    if (!pMixer) {
        return E_FAIL;
    }
    const std::vector<SInput> inputs = ListInputs(pMixer.get());
    if (nInput < 0 || static_cast<size_t>(nInput) >= inputs.size()) {
        return E_FAIL;
    }
    const SInput& input = inputs[static_cast<size_t>(nInput)];
    if (input.nItem < 0) {
        return snd_mixer_selem_set_capture_switch_all(input.pElem, bEnable ? 1 : 0) == 0 ? S_OK
                                                                                         : E_FAIL;
    }
    if (!bEnable) {
        return S_OK;
    }
    return SelectItem(input.pElem, input.nItem) ? S_OK : E_FAIL;
}
