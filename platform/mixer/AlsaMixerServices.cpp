#include "platform/mixer/AlsaMixerServices.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <alsa/asoundlib.h>

#include "platform/mixer/AlsaMixerMapping.h"
#include "platform/mixer/FdWatcher.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

namespace {

constexpr const char* kTag = "CAlsaMixerServices";

struct SMixerCloser {
    void operator()(snd_mixer_t* p) const { snd_mixer_close(p); }
};
struct SCtlCloser {
    void operator()(snd_ctl_t* p) const { snd_ctl_close(p); }
};
struct SCardInfoFree {
    void operator()(snd_ctl_card_info_t* p) const { snd_ctl_card_info_free(p); }
};
struct SEventFree {
    void operator()(snd_ctl_event_t* p) const { snd_ctl_event_free(p); }
};
struct SSelemIdFree {
    void operator()(snd_mixer_selem_id_t* p) const { snd_mixer_selem_id_free(p); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, SMixerCloser>;
using CtlPtr = std::unique_ptr<snd_ctl_t, SCtlCloser>;

// The simple mixer's calls for one direction, so that the playback and the
// capture side share every line of the code below.
struct SDirection {
    int (*hasVolume)(snd_mixer_elem_t*);
    int (*hasSwitch)(snd_mixer_elem_t*);
    int (*isMono)(snd_mixer_elem_t*);
    int (*hasChannel)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t);
    int (*volumeJoined)(snd_mixer_elem_t*);
    int (*switchJoined)(snd_mixer_elem_t*);
    int (*getRange)(snd_mixer_elem_t*, long*, long*);
    int (*getVolume)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, long*);
    int (*setVolume)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, long);
    int (*setVolumeAll)(snd_mixer_elem_t*, long);
    int (*getSwitch)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, int*);
    int (*setSwitch)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, int);
    int (*setSwitchAll)(snd_mixer_elem_t*, int);
};

const SDirection kPlayback{
    snd_mixer_selem_has_playback_volume,        snd_mixer_selem_has_playback_switch,
    snd_mixer_selem_is_playback_mono,           snd_mixer_selem_has_playback_channel,
    snd_mixer_selem_has_playback_volume_joined, snd_mixer_selem_has_playback_switch_joined,
    snd_mixer_selem_get_playback_volume_range,  snd_mixer_selem_get_playback_volume,
    snd_mixer_selem_set_playback_volume,        snd_mixer_selem_set_playback_volume_all,
    snd_mixer_selem_get_playback_switch,        snd_mixer_selem_set_playback_switch,
    snd_mixer_selem_set_playback_switch_all,
};

const SDirection kCapture{
    snd_mixer_selem_has_capture_volume,        snd_mixer_selem_has_capture_switch,
    snd_mixer_selem_is_capture_mono,           snd_mixer_selem_has_capture_channel,
    snd_mixer_selem_has_capture_volume_joined, snd_mixer_selem_has_capture_switch_joined,
    snd_mixer_selem_get_capture_volume_range,  snd_mixer_selem_get_capture_volume,
    snd_mixer_selem_set_capture_volume,        snd_mixer_selem_set_capture_volume_all,
    snd_mixer_selem_get_capture_switch,        snd_mixer_selem_set_capture_switch,
    snd_mixer_selem_set_capture_switch_all,
};

// Line id = destination << 16 | source (0xFFFF for the destination itself);
// control id = line id << 2 | kind.
constexpr uint32_t kSelf = 0xFFFF;
constexpr uint32_t kMaxSources = 0xFFFE;
constexpr uint32_t kVolume = 0;
constexpr uint32_t kMute = 1;

uint32_t LineID(uint32_t nDestination, uint32_t nSource) {
    return (nDestination << 16) | nSource;
}

struct SAlsaLine {
    SMixerLine line;
    const SDirection* pDirection = &kPlayback;
    bool bHasElement = false;  // a destination may stand without an element of its own
    std::string strElement;
    unsigned nIndex = 0;
    std::vector<snd_mixer_selem_channel_id_t> channels;
    bool bVolume = false;
    bool bSwitch = false;
    bool bVolumeJoined = false;
    bool bSwitchJoined = false;
};

struct SAlsaDestination {
    SAlsaLine self;
    std::vector<SAlsaLine> sources;
};

struct SAlsaCard {
    int nCard = -1;
    std::string strProductName;
    MixerPtr pMixer;
    std::vector<SAlsaDestination> destinations;
};

struct SElement {
    std::string strName;
    unsigned nIndex = 0;
    // "Mic", or "Mic 1" for the second of that name: the names the capture
    // graph gives the card's inputs, so that a stored port name means both.
    std::string strDisplay;
    snd_mixer_elem_t* pElem = nullptr;
};

std::string CardDevice(int nCard) {
    return "hw:" + std::to_string(nCard);
}

std::vector<int> CardNumbers() {
    std::vector<int> cards;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        cards.push_back(card);
    }
    return cards;
}

int CardAt(int nDeviceID) {
    const std::vector<int> cards = CardNumbers();
    if (nDeviceID < 0 || static_cast<size_t>(nDeviceID) >= cards.size()) {
        return -1;
    }
    return cards[static_cast<size_t>(nDeviceID)];
}

std::optional<std::string> ProductName(const std::string& device) {
    snd_ctl_t* rawCtl = nullptr;
    if (int err = snd_ctl_open(&rawCtl, device.c_str(), 0); err < 0) {
        KestrelTrace(kTag, "snd_ctl_open(%s): %s", device.c_str(), snd_strerror(err));
        return std::nullopt;
    }
    CtlPtr ctl(rawCtl);
    snd_ctl_card_info_t* rawInfo = nullptr;
    if (snd_ctl_card_info_malloc(&rawInfo) < 0) {
        return std::nullopt;
    }
    std::unique_ptr<snd_ctl_card_info_t, SCardInfoFree> info(rawInfo);
    if (int err = snd_ctl_card_info(ctl.get(), info.get()); err < 0) {
        KestrelTrace(kTag, "snd_ctl_card_info(%s): %s", device.c_str(), snd_strerror(err));
        return std::nullopt;
    }
    std::string name = snd_ctl_card_info_get_mixername(info.get());
    // Some drivers leave the mixer name empty; such a card could never be
    // chosen by name.
    if (name.empty()) {
        name = snd_ctl_card_info_get_name(info.get());
    }
    return name;
}

SAlsaLine MakeLine(const SElement& element, const SDirection& direction, uint32_t nType) {
    SAlsaLine line;
    line.pDirection = &direction;
    line.bHasElement = true;
    line.strElement = element.strName;
    line.nIndex = element.nIndex;
    snd_mixer_elem_t* elem = element.pElem;
    if (direction.isMono(elem)) {
        line.channels = {SND_MIXER_SCHN_MONO};
    } else {
        for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
            auto channel = static_cast<snd_mixer_selem_channel_id_t>(ch);
            if (direction.hasChannel(elem, channel)) {
                line.channels.push_back(channel);
            }
        }
    }
    line.bVolume = direction.hasVolume(elem) != 0;
    line.bSwitch = direction.hasSwitch(elem) != 0;
    line.bVolumeJoined = direction.volumeJoined(elem) != 0;
    line.bSwitchJoined = direction.switchJoined(elem) != 0;
    line.line.nComponentType = nType;
    line.line.nChannels = static_cast<uint32_t>(line.channels.size());
    line.line.nControls = (line.bVolume ? 1 : 0) + (line.bSwitch ? 1 : 0);
    line.line.strName = element.strDisplay;
    line.line.strShortName = element.strDisplay;
    return line;
}

void AddDestination(SAlsaCard& card, uint32_t nType, const std::string& strNoElementName,
                    const std::vector<SElement>& elements, int nSelf, const SDirection& direction) {
    if (elements.empty()) {
        return;
    }
    const auto d = static_cast<uint32_t>(card.destinations.size());
    SAlsaDestination destination;
    if (nSelf >= 0) {
        destination.self = MakeLine(elements[static_cast<size_t>(nSelf)], direction, nType);
    } else {
        destination.self.pDirection = &direction;
        destination.self.line.nComponentType = nType;
        destination.self.line.strName = strNoElementName;
        destination.self.line.strShortName = strNoElementName;
    }
    destination.self.line.nDestination = d;
    destination.self.line.nLineID = LineID(d, kSelf);
    for (size_t i = 0; i < elements.size() && destination.sources.size() < kMaxSources; ++i) {
        if (static_cast<int>(i) == nSelf) {
            continue;
        }
        SAlsaLine source = MakeLine(elements[i], direction, AlsaComponentType(elements[i].strName));
        source.line.nDestination = d;
        source.line.nSource = static_cast<uint32_t>(destination.sources.size());
        source.line.nLineID = LineID(d, source.line.nSource);
        destination.sources.push_back(std::move(source));
    }
    destination.self.line.nConnections = static_cast<uint32_t>(destination.sources.size());
    card.destinations.push_back(std::move(destination));
}

std::vector<std::string> DisplayNames(const std::vector<SElement>& elements) {
    std::vector<std::string> names;
    for (const SElement& element : elements) {
        names.push_back(element.strDisplay);
    }
    return names;
}

void LayOut(SAlsaCard& card) {
    std::vector<SElement> playback;
    std::vector<SElement> capture;
    for (snd_mixer_elem_t* elem = snd_mixer_first_elem(card.pMixer.get()); elem;
         elem = snd_mixer_elem_next(elem)) {
        SElement element{snd_mixer_selem_get_name(elem), snd_mixer_selem_get_index(elem), {}, elem};
        element.strDisplay = element.nIndex == 0
                                 ? element.strName
                                 : element.strName + " " + std::to_string(element.nIndex);
        if (kPlayback.hasVolume(elem) || kPlayback.hasSwitch(elem)) {
            playback.push_back(element);
        }
        if (kCapture.hasVolume(elem) || kCapture.hasSwitch(elem)) {
            capture.push_back(element);
        }
    }
    AddDestination(card, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, "Playback", playback,
                   AlsaSpeakersElement(DisplayNames(playback)), kPlayback);
    AddDestination(card, MIXERLINE_COMPONENTTYPE_DST_WAVEIN, "Capture", capture,
                   AlsaCaptureElement(DisplayNames(capture)), kCapture);
}

std::optional<SAlsaCard> LoadCard(int nCard) {
    const std::string device = CardDevice(nCard);
    std::optional<std::string> name = ProductName(device);
    if (!name) {
        return std::nullopt;
    }
    SAlsaCard card;
    card.nCard = nCard;
    card.strProductName = std::move(*name);
    snd_mixer_t* rawMixer = nullptr;
    if (int err = snd_mixer_open(&rawMixer, 0); err < 0) {
        KestrelTrace(kTag, "snd_mixer_open: %s", snd_strerror(err));
        return std::nullopt;
    }
    card.pMixer.reset(rawMixer);
    int err = snd_mixer_attach(rawMixer, device.c_str());
    if (err >= 0) {
        err = snd_mixer_selem_register(rawMixer, nullptr, nullptr);
    }
    if (err >= 0) {
        err = snd_mixer_load(rawMixer);
    }
    if (err < 0) {
        KestrelTrace(kTag, "loading the mixer of %s: %s", device.c_str(), snd_strerror(err));
        return std::nullopt;
    }
    LayOut(card);
    return card;
}

bool HungUp(std::vector<pollfd> fds) {
    if (poll(fds.data(), fds.size(), 0) <= 0) {
        return false;
    }
    return std::any_of(fds.begin(), fds.end(), [](const pollfd& fd) {
        return (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    });
}

// Runs on the watcher's thread: touches nothing but its own control handle.
bool ForwardNotices(snd_ctl_t* ctl, const std::vector<pollfd>& fds, CMessageTarget* pTarget,
                    int nDeviceID) {
    snd_ctl_event_t* rawEvent = nullptr;
    if (snd_ctl_event_malloc(&rawEvent) < 0) {
        return false;
    }
    std::unique_ptr<snd_ctl_event_t, SEventFree> event(rawEvent);
    bool bChanged = false;
    for (;;) {
        int n = snd_ctl_read(ctl, event.get());
        if (n == 0 || n == -EAGAIN) {
            break;
        }
        if (n < 0) {
            KestrelTrace(kTag, "change notices of mixer %d ended: %s", nDeviceID, snd_strerror(n));
            return false;
        }
        if (snd_ctl_event_get_type(event.get()) != SND_CTL_EVENT_ELEM) {
            continue;
        }
        unsigned mask = snd_ctl_event_elem_get_mask(event.get());
        if (mask != SND_CTL_EVENT_MASK_REMOVE && (mask & SND_CTL_EVENT_MASK_VALUE) != 0) {
            bChanged = true;
        }
    }
    if (bChanged) {
        pTarget->Post(MM_MIXM_CONTROL_CHANGE, static_cast<uintptr_t>(nDeviceID), 0);
    }
    return !HungUp(fds);
}

class CAlsaMixer : public CMixerHandle {
public:
    CAlsaMixer(int nDeviceID, SAlsaCard card) : m_nDeviceID(nDeviceID), m_card(std::move(card)) {}

    void StartNotices(CFdWatcher& watcher, CMessageTarget* pTarget) {
        const std::string device = CardDevice(m_card.nCard);
        snd_ctl_t* rawCtl = nullptr;
        if (int err = snd_ctl_open(&rawCtl, device.c_str(), SND_CTL_NONBLOCK | SND_CTL_READONLY);
            err < 0) {
            KestrelTrace(kTag, "no change notices for %s: %s", device.c_str(), snd_strerror(err));
            return;
        }
        CtlPtr ctl(rawCtl);
        int count = snd_ctl_poll_descriptors_count(rawCtl);
        if (int err = snd_ctl_subscribe_events(rawCtl, 1); err < 0 || count <= 0) {
            KestrelTrace(kTag, "no change notices for %s: %s", device.c_str(),
                         snd_strerror(err < 0 ? err : -EINVAL));
            return;
        }
        std::vector<pollfd> fds(static_cast<size_t>(count));
        fds.resize(static_cast<size_t>(
            std::max(0, snd_ctl_poll_descriptors(rawCtl, fds.data(), fds.size()))));
        m_pNoticeCtl = std::move(ctl);
        m_pWatch = watcher.Watch(fds, [rawCtl, fds, pTarget, id = m_nDeviceID] {
            return ForwardNotices(rawCtl, fds, pTarget, id);
        });
    }

    bool GetDevCaps(SMixerCaps& caps) override {
        caps.strProductName = m_card.strProductName;
        caps.nDestinations = static_cast<uint32_t>(m_card.destinations.size());
        return true;
    }

    bool GetLineInfoDestination(SMixerLine& line) override {
        if (line.nDestination >= m_card.destinations.size()) {
            return false;
        }
        line = m_card.destinations[line.nDestination].self.line;
        return true;
    }

    bool GetLineInfoSource(SMixerLine& line) override {
        if (line.nDestination >= m_card.destinations.size()) {
            return false;
        }
        const auto& sources = m_card.destinations[line.nDestination].sources;
        if (line.nSource >= sources.size()) {
            return false;
        }
        line = sources[line.nSource].line;
        return true;
    }

    bool GetLineControlByType(uint32_t nLineID, uint32_t nControlType,
                              SMixerControl& control) override {
        const SAlsaLine* pLine = FindLine(nLineID);
        if (!pLine) {
            return false;
        }
        uint32_t kind = 0;
        bool bJoined = false;
        if (nControlType == MIXERCONTROL_CONTROLTYPE_VOLUME && pLine->bVolume) {
            kind = kVolume;
            bJoined = pLine->bVolumeJoined;
            control.strShortName = "Volume";
        } else if (nControlType == MIXERCONTROL_CONTROLTYPE_MUTE && pLine->bSwitch) {
            kind = kMute;
            bJoined = pLine->bSwitchJoined;
            control.strShortName = "Mute";
        } else {
            return false;
        }
        control.nControlID = (nLineID << 2) | kind;
        control.nControlType = nControlType;
        control.nControlFlags =
            (bJoined || pLine->channels.size() <= 1) ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
        control.nMultipleItems = 0;
        control.strName = pLine->line.strName + " " + control.strShortName;
        return true;
    }

    bool GetControlDetails(SMixerControlDetails& details) override {
        const SAlsaLine* pLine = nullptr;
        snd_mixer_elem_t* elem = Prepare(details, pLine);
        if (!elem) {
            return false;
        }
        const SDirection& dir = *pLine->pDirection;
        std::vector<SAlsaLastWrite>& last = LastWrites(details.nControlID, *pLine);
        long min = 0;
        long max = 0;
        if ((details.nControlID & 3) == kVolume && dir.getRange(elem, &min, &max) < 0) {
            return false;
        }
        for (size_t i = 0; i < details.nChannels; ++i) {
            const snd_mixer_selem_channel_id_t channel = pLine->channels[i];
            if ((details.nControlID & 3) == kVolume) {
                long raw = 0;
                if (dir.getVolume(elem, channel, &raw) < 0) {
                    return false;
                }
                details.values[i] = AlsaReadVolume(raw, min, max, last[i]);
            } else {
                int on = 0;
                if (dir.getSwitch(elem, channel, &on) < 0) {
                    return false;
                }
                details.values[i] = on ? 0 : 1;
            }
        }
        return true;
    }

    bool SetControlDetails(const SMixerControlDetails& details) override {
        const SAlsaLine* pLine = nullptr;
        snd_mixer_elem_t* elem = Prepare(details, pLine);
        if (!elem) {
            return false;
        }
        const SDirection& dir = *pLine->pDirection;
        const bool bAll = details.nChannels == 1;
        if ((details.nControlID & 3) == kMute) {
            if (bAll) {
                return dir.setSwitchAll(elem, details.values[0] ? 0 : 1) >= 0;
            }
            for (size_t i = 0; i < details.nChannels; ++i) {
                if (dir.setSwitch(elem, pLine->channels[i], details.values[i] ? 0 : 1) < 0) {
                    return false;
                }
            }
            return true;
        }
        long min = 0;
        long max = 0;
        if (dir.getRange(elem, &min, &max) < 0) {
            return false;
        }
        std::vector<SAlsaLastWrite>& last = LastWrites(details.nControlID, *pLine);
        if (bAll) {
            const uint32_t value = std::min<uint32_t>(details.values[0], 65535);
            const long raw = AlsaFromMixerVolume(value, min, max);
            if (dir.setVolumeAll(elem, raw) < 0) {
                return false;
            }
            std::fill(last.begin(), last.end(), SAlsaLastWrite{true, raw, value});
            return true;
        }
        for (size_t i = 0; i < details.nChannels; ++i) {
            const uint32_t value = std::min<uint32_t>(details.values[i], 65535);
            const long raw = AlsaFromMixerVolume(value, min, max);
            if (dir.setVolume(elem, pLine->channels[i], raw) < 0) {
                return false;
            }
            last[i] = {true, raw, value};
        }
        return true;
    }

private:
    const SAlsaLine* FindLine(uint32_t nLineID) const {
        const uint32_t d = nLineID >> 16;
        const uint32_t s = nLineID & 0xFFFF;
        if (d >= m_card.destinations.size()) {
            return nullptr;
        }
        const SAlsaDestination& destination = m_card.destinations[d];
        if (s == kSelf) {
            return &destination.self;
        }
        return s < destination.sources.size() ? &destination.sources[s] : nullptr;
    }

    // Checks the transfer against the control, brings the simple mixer's
    // cache up to date (it skips writes of values it believes are already
    // set) and finds the element again: elements can go while we are open.
    snd_mixer_elem_t* Prepare(const SMixerControlDetails& details, const SAlsaLine*& pLine) {
        pLine = FindLine(details.nControlID >> 2);
        const uint32_t kind = details.nControlID & 3;
        if (!pLine || !pLine->bHasElement || (kind == kVolume && !pLine->bVolume) ||
            (kind == kMute && !pLine->bSwitch) || kind > kMute) {
            return nullptr;
        }
        if (details.nMultipleItems != 0 || details.nChannels == 0 ||
            (details.nChannels != 1 && details.nChannels != pLine->channels.size()) ||
            details.values.size() < details.nChannels) {
            return nullptr;
        }
        if (int err = snd_mixer_handle_events(m_card.pMixer.get()); err < 0) {
            KestrelTrace(kTag, "mixer %d: %s", m_nDeviceID, snd_strerror(err));
            return nullptr;
        }
        snd_mixer_selem_id_t* rawId = nullptr;
        if (snd_mixer_selem_id_malloc(&rawId) < 0) {
            return nullptr;
        }
        std::unique_ptr<snd_mixer_selem_id_t, SSelemIdFree> id(rawId);
        snd_mixer_selem_id_set_name(rawId, pLine->strElement.c_str());
        snd_mixer_selem_id_set_index(rawId, pLine->nIndex);
        return snd_mixer_find_selem(m_card.pMixer.get(), rawId);
    }

    std::vector<SAlsaLastWrite>& LastWrites(uint32_t nControlID, const SAlsaLine& line) {
        std::vector<SAlsaLastWrite>& last = m_lastWrites[nControlID];
        last.resize(line.channels.size());
        return last;
    }

    int m_nDeviceID;
    SAlsaCard m_card;
    std::map<uint32_t, std::vector<SAlsaLastWrite>> m_lastWrites;
    // Declared before the watch, so that the watch stops before its handle closes.
    CtlPtr m_pNoticeCtl;
    std::unique_ptr<CFdWatch> m_pWatch;
};

}  // namespace

CAlsaMixerServices::CAlsaMixerServices(CFdWatcher& watcher) : m_watcher(watcher) {}

uint32_t CAlsaMixerServices::GetNumDevs() {
    return static_cast<uint32_t>(CardNumbers().size());
}

bool CAlsaMixerServices::GetDevCaps(int nDeviceID, SMixerCaps& caps) {
    const int card = CardAt(nDeviceID);
    if (card < 0) {
        return false;
    }
    std::optional<SAlsaCard> loaded = LoadCard(card);
    if (!loaded) {
        return false;
    }
    caps.strProductName = loaded->strProductName;
    caps.nDestinations = static_cast<uint32_t>(loaded->destinations.size());
    return true;
}

std::unique_ptr<CMixerHandle> CAlsaMixerServices::Open(int nDeviceID, CMessageTarget* pNotify) {
    const int card = CardAt(nDeviceID);
    if (card < 0) {
        return nullptr;
    }
    std::optional<SAlsaCard> loaded = LoadCard(card);
    if (!loaded) {
        return nullptr;
    }
    auto mixer = std::make_unique<CAlsaMixer>(nDeviceID, std::move(*loaded));
    // A mixer without notices still works; the window only misses reloads.
    if (pNotify) {
        mixer->StartNotices(m_watcher, pNotify);
    }
    return mixer;
}
