#include "mixer/MixerBase.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kInitTag = "CMixerBase::Init";
constexpr const char* kDetailsTag = "CMixerBase::InitMXDetails";

// More values than any real control has: a device reporting this is broken,
// and allocating what it asks for could take the machine's memory.
constexpr uint64_t kMaxValues = 1u << 16;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool Allocate(std::vector<uint32_t>& values, uint64_t count) {
    if (count > kMaxValues) {
        return false;
    }
    try {
        values.assign(count, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string TrimRight(std::string text) {
    const size_t end = text.find_last_not_of(" \t\r\n\v\f");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

}  // namespace

CMixerBase::CMixerBase(CMixerServices& services) : m_services(services) {}

CMixerBase::~CMixerBase() = default;

void CMixerBase::Close() {
    m_pMixer.reset();
    m_Values = {};
    m_Details.values = {};
}

int CMixerBase::FindDevice(const std::string& strMixerName, uint32_t nDevices) {
    const std::string wanted = Upper(strMixerName);
    for (uint32_t id = 0; id < nDevices; ++id) {
        SMixerCaps caps;
        if (!m_services.GetDevCaps(static_cast<int>(id), caps)) {
            continue;
        }
        // Only the product name loses its trailing blanks: a stored name with
        // blanks of its own matches nothing.
        if (wanted.empty() || TrimRight(Upper(caps.strProductName)) == wanted) {
            return static_cast<int>(id);
        }
    }
    return -1;
}

bool CMixerBase::Init(uint32_t nDestinationType, uint32_t nSourceType, uint32_t nControlType,
                      CMessageTarget* pNotify, const std::string& strMixerName) {
    const uint32_t nDevices = m_services.GetNumDevs();
    // Closed first on every path, so that a failure never leaves the object
    // on an earlier device.
    Close();
    if (nDevices == 0) {
        KestrelTrace(kInitTag, "No mixer device present");
        return false;
    }
    const int nDeviceID = FindDevice(strMixerName, nDevices);
    if (nDeviceID >= 0) {
        m_pMixer = m_services.Open(nDeviceID, pNotify);
    }
    if (!m_pMixer) {
        KestrelTrace(kInitTag, "Could not open mixer device");
        return false;
    }

    SMixerLine line;
    if (FindDestination(line, nDestinationType) < 0) {
        KestrelTrace(kInitTag, "Warning: the destination line \n%s\nwas not found.",
                     LineTypeName(nDestinationType));
        Close();
        return false;
    }
    m_strDestinationName = line.strName;
    if (nSourceType != MIXER_NO_SOURCE && FindSource(line, nSourceType) < 0) {
        KestrelTrace(kInitTag,
                     "Warning: the source line \n%s\n not found.\n\n(Associated to Destination "
                     "line \n%s)",
                     LineTypeName(nSourceType), m_strDestinationName.c_str());
        Close();
        return false;
    }
    m_nLineChannels = line.nChannels;
    m_strLineName = line.strName;
    m_strLineShortName = line.strShortName;

    if (line.nControls == 0) {
        KestrelTrace(kInitTag, "No controls available for this audio line: %s",
                     m_strLineName.c_str());
        Close();
        return false;
    }
    if (!m_pMixer->GetLineControlByType(line.nLineID, nControlType, m_Control)) {
        KestrelTrace(kInitTag,
                     "Could not find specified mixer control. Associated Windows control will be "
                     "disabled.\nControl type: %s,\n\nDest line type: %s,\nSrc  line type: %s\n",
                     ControlTypeName(nControlType), LineTypeName(nDestinationType),
                     LineTypeName(nSourceType));
        Close();
        return false;
    }
    return InitMXDetails();
}

bool CMixerBase::InitMXDetails() {
    m_nControlID = m_Control.nControlID;
    m_Details.nControlID = m_Control.nControlID;
    m_Details.nMultipleItems = m_Control.nMultipleItems;
    m_Details.nChannels =
        (m_Control.nControlFlags & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : m_nLineChannels;

    switch (m_Control.nControlType & MIXERCONTROL_CT_UNITS_MASK) {
        case MIXERCONTROL_CT_UNITS_BOOLEAN:
        case MIXERCONTROL_CT_UNITS_SIGNED:
        case MIXERCONTROL_CT_UNITS_UNSIGNED:
        case MIXERCONTROL_CT_UNITS_DECIBELS:
        case MIXERCONTROL_CT_UNITS_PERCENT:
            break;
        default:
            KestrelTrace(kDetailsTag, "Control uses unknown units.");
            Close();
            return false;
    }

    const uint64_t items =
        (m_Control.nControlFlags & MIXERCONTROL_CONTROLF_MULTIPLE) ? m_Control.nMultipleItems : 1;
    const uint64_t count = static_cast<uint64_t>(m_Details.nChannels) * items;
    m_Values = {};
    m_Details.values = {};
    if (!Allocate(m_Values, count)) {
        KestrelTrace(kDetailsTag, "Memory allocation error.");
        Close();
        return false;
    }
    m_Details.values = m_Values;
    return true;
}

bool CMixerBase::ReadDetails() {
    if (!m_pMixer || m_Values.empty()) {
        return false;
    }
    return m_pMixer->GetControlDetails(m_Details);
}

bool CMixerBase::SetVolume(int nValue) {
    uint32_t value = static_cast<uint32_t>(std::clamp(nValue, 0, 65535));
    if (!m_pMixer) {
        return false;
    }
    // One channel: every channel alike.
    const SMixerControlDetails details{m_nControlID, 1, 0, {&value, 1}};
    return m_pMixer->SetControlDetails(details);
}

bool CMixerBase::SetMute(int nOn) {
    uint32_t value = nOn ? 1 : 0;
    if (m_pMixer) {
        const SMixerControlDetails details{m_nControlID, 1, 0, {&value, 1}};
        m_pMixer->SetControlDetails(details);
    }
    return true;
}

uint32_t CMixerBase::GetValue() {
    if (!m_pMixer || m_Values.empty()) {
        return 0;
    }
    ReadDetails();
    return m_Values[0];
}

int CMixerBase::FindDestination(SMixerLine& line, uint32_t nComponentType) {
    SMixerCaps caps;
    if (!m_pMixer || !m_pMixer->GetDevCaps(caps)) {
        return -1;
    }
    for (uint32_t d = 0; d < caps.nDestinations; ++d) {
        line = SMixerLine{};
        line.nDestination = d;
        if (!m_pMixer->GetLineInfoDestination(line)) {
            return -1;
        }
        if (line.nComponentType == nComponentType) {
            return static_cast<int>(d);
        }
    }
    return -1;
}

int CMixerBase::FindSource(SMixerLine& line, uint32_t nComponentType) {
    if (!m_pMixer) {
        return -1;
    }
    const SMixerLine destination = line;
    for (uint32_t s = 0; s < destination.nConnections; ++s) {
        SMixerLine source;
        source.nDestination = destination.nDestination;
        source.nSource = s;
        if (!m_pMixer->GetLineInfoSource(source)) {
            return -1;
        }
        if (source.nComponentType == nComponentType) {
            line = source;
            return static_cast<int>(s);
        }
    }
    return -1;
}

int CMixerBase::ListDevices(std::vector<std::string>& names) {
    names.clear();
    const uint32_t n = m_services.GetNumDevs();
    for (uint32_t id = 0; id < n; ++id) {
        SMixerCaps caps;
        if (m_services.GetDevCaps(static_cast<int>(id), caps)) {
            names.push_back(caps.strProductName);
        }
    }
    return static_cast<int>(n);
}

int CMixerBase::ListSpeakerSources(int nMixerID, std::vector<std::string>& names,
                                   std::vector<uint32_t>& types) {
    std::unique_ptr<CMixerHandle> mixer = m_services.Open(nMixerID, nullptr);
    if (!mixer) {
        return 0;
    }
    SMixerCaps caps;
    if (!mixer->GetDevCaps(caps)) {
        return -1;
    }
    for (uint32_t d = 0; d < caps.nDestinations; ++d) {
        SMixerLine destination;
        destination.nDestination = d;
        if (!mixer->GetLineInfoDestination(destination)) {
            return -1;
        }
        if (destination.nComponentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS) {
            continue;
        }
        for (uint32_t s = 0; s < destination.nConnections; ++s) {
            SMixerLine source;
            source.nDestination = d;
            source.nSource = s;
            if (mixer->GetLineInfoSource(source)) {
                names.push_back(source.strName);
                types.push_back(source.nComponentType);
            }
        }
    }
    return static_cast<int>(caps.nDestinations);
}

const char* CMixerBase::ControlTypeName(uint32_t nControlType) {
    switch (nControlType) {
        case MIXERCONTROL_CONTROLTYPE_CUSTOM:
            return "MIXERCONTROL_CONTROLTYPE_CUSTOM";
        case MIXERCONTROL_CONTROLTYPE_BOOLEANMETER:
            return "MIXERCONTROL_CONTROLTYPE_BOOLEANMETER";
        case MIXERCONTROL_CONTROLTYPE_SIGNEDMETER:
            return "MIXERCONTROL_CONTROLTYPE_SIGNEDMETER";
        case MIXERCONTROL_CONTROLTYPE_PEAKMETER:
            return "MIXERCONTROL_CONTROLTYPE_PEAKMETER";
        case MIXERCONTROL_CONTROLTYPE_UNSIGNEDMETER:
            return "MIXERCONTROL_CONTROLTYPE_UNSIGNEDMETER";
        case MIXERCONTROL_CONTROLTYPE_BOOLEAN:
            return "MIXERCONTROL_CONTROLTYPE_BOOLEAN";
        case MIXERCONTROL_CONTROLTYPE_ONOFF:
            return "MIXERCONTROL_CONTROLTYPE_ONOFF";
        case MIXERCONTROL_CONTROLTYPE_MUTE:
            return "MIXERCONTROL_CONTROLTYPE_MUTE";
        case MIXERCONTROL_CONTROLTYPE_MONO:
            return "MIXERCONTROL_CONTROLTYPE_MONO";
        case MIXERCONTROL_CONTROLTYPE_LOUDNESS:
            return "MIXERCONTROL_CONTROLTYPE_LOUDNESS";
        case MIXERCONTROL_CONTROLTYPE_STEREOENH:
            return "MIXERCONTROL_CONTROLTYPE_STEREOENH";
        case MIXERCONTROL_CONTROLTYPE_BUTTON:
            return "MIXERCONTROL_CONTROLTYPE_BUTTON";
        case MIXERCONTROL_CONTROLTYPE_SIGNED:
            return "MIXERCONTROL_CONTROLTYPE_SIGNED";
        case MIXERCONTROL_CONTROLTYPE_UNSIGNED:
            return "MIXERCONTROL_CONTROLTYPE_UNSIGNED";
        case MIXERCONTROL_CONTROLTYPE_DECIBELS:
            return "MIXERCONTROL_CONTROLTYPE_DECIBELS";
        case MIXERCONTROL_CONTROLTYPE_PERCENT:
            return "MIXERCONTROL_CONTROLTYPE_PERCENT";
        case MIXERCONTROL_CONTROLTYPE_SLIDER:
            return "MIXERCONTROL_CONTROLTYPE_SLIDER";
        case MIXERCONTROL_CONTROLTYPE_PAN:
            return "MIXERCONTROL_CONTROLTYPE_PAN";
        case MIXERCONTROL_CONTROLTYPE_QSOUNDPAN:
            return "MIXERCONTROL_CONTROLTYPE_QSOUNDPAN";
        case MIXERCONTROL_CONTROLTYPE_FADER:
            return "MIXERCONTROL_CONTROLTYPE_FADER";
        case MIXERCONTROL_CONTROLTYPE_VOLUME:
            return "MIXERCONTROL_CONTROLTYPE_VOLUME";
        case MIXERCONTROL_CONTROLTYPE_BASS:
            return "MIXERCONTROL_CONTROLTYPE_BASS";
        case MIXERCONTROL_CONTROLTYPE_TREBLE:
            return "MIXERCONTROL_CONTROLTYPE_TREBLE";
        case MIXERCONTROL_CONTROLTYPE_EQUALIZER:
            return "MIXERCONTROL_CONTROLTYPE_EQUALIZER";
        case MIXERCONTROL_CONTROLTYPE_MICROTIME:
            return "MIXERCONTROL_CONTROLTYPE_MICROTIME";
        case MIXERCONTROL_CONTROLTYPE_MILLITIME:
            return "MIXERCONTROL_CONTROLTYPE_MILLITIME";
        case MIXERCONTROL_CONTROLTYPE_SINGLESELECT:
            return "MIXERCONTROL_CONTROLTYPE_SINGLESELECT";
        case MIXERCONTROL_CONTROLTYPE_MUX:
            return "MIXERCONTROL_CONTROLTYPE_MUX";
        case MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT:
            return "MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT";
        case MIXERCONTROL_CONTROLTYPE_MIXER:
            return "MIXERCONTROL_CONTROLTYPE_MIXER";
        default:
            return "---- UNKNOWN CONTROL TYPE ----";
    }
}

const char* CMixerBase::LineTypeName(uint32_t nComponentType) {
    switch (nComponentType) {
        case MIXERLINE_COMPONENTTYPE_DST_UNDEFINED:
            return "MIXERLINE_COMPONENTTYPE_DST_UNDEFINED";
        case MIXERLINE_COMPONENTTYPE_DST_DIGITAL:
            return "MIXERLINE_COMPONENTTYPE_DST_DIGITAL";
        case MIXERLINE_COMPONENTTYPE_DST_LINE:
            return "MIXERLINE_COMPONENTTYPE_DST_LINE";
        case MIXERLINE_COMPONENTTYPE_DST_MONITOR:
            return "MIXERLINE_COMPONENTTYPE_DST_MONITOR";
        case MIXERLINE_COMPONENTTYPE_DST_SPEAKERS:
            return "MIXERLINE_COMPONENTTYPE_DST_SPEAKERS";
        case MIXERLINE_COMPONENTTYPE_DST_HEADPHONES:
            return "MIXERLINE_COMPONENTTYPE_DST_HEADPHONES";
        case MIXERLINE_COMPONENTTYPE_DST_TELEPHONE:
            return "MIXERLINE_COMPONENTTYPE_DST_TELEPHONE";
        case MIXERLINE_COMPONENTTYPE_DST_WAVEIN:
            return "MIXERLINE_COMPONENTTYPE_DST_WAVEIN";
        case MIXERLINE_COMPONENTTYPE_DST_VOICEIN:
            return "MIXERLINE_COMPONENTTYPE_DST_VOICEIN";
        case MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED:
            return "MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED";
        case MIXERLINE_COMPONENTTYPE_SRC_DIGITAL:
            return "MIXERLINE_COMPONENTTYPE_SRC_DIGITAL";
        case MIXERLINE_COMPONENTTYPE_SRC_LINE:
            return "MIXERLINE_COMPONENTTYPE_SRC_LINE";
        case MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE:
            return "MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE";
        case MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER:
            return "MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER";
        case MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC:
            return "MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC";
        case MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE:
            return "MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE";
        case MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER:
            return "MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER";
        case MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT:
            return "MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT";
        case MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY:
            return "MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY";
        case MIXERLINE_COMPONENTTYPE_SRC_ANALOG:
            return "MIXERLINE_COMPONENTTYPE_SRC_ANALOG";
        case MIXER_NO_SOURCE:
            return "No source line";
        default:
            return "---- UNKNOWN LINE TYPE ----";
    }
}
