#pragma once

#include <cstdint>
#include <span>
#include <string>

// Component types, control types and flags of the sound card mixer, with the
// names and values the rest of the program (and the stored PinType) use.

inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_FIRST = 0x0000;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_UNDEFINED = 0x0000;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_DIGITAL = 0x0001;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_LINE = 0x0002;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_MONITOR = 0x0003;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 0x0004;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_HEADPHONES = 0x0005;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_TELEPHONE = 0x0006;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 0x0007;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_VOICEIN = 0x0008;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_DST_LAST = 0x0008;

inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_FIRST = 0x1000;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED = 0x1000;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_DIGITAL = 0x1001;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_LINE = 0x1002;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = 0x1004;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC = 0x1005;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE = 0x1006;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_PCSPEAKER = 0x1007;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY = 0x1009;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_ANALOG = 0x100A;
inline constexpr uint32_t MIXERLINE_COMPONENTTYPE_SRC_LAST = 0x100A;

// Asks for the destination line itself instead of one of its sources.
inline constexpr uint32_t MIXER_NO_SOURCE = MIXERLINE_COMPONENTTYPE_SRC_LAST + 1;  // 0x100B

// A control type is class | units | serial number.
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_MASK = 0xF0000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_CUSTOM = 0x00000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_METER = 0x10000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_SWITCH = 0x20000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_NUMBER = 0x30000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_SLIDER = 0x40000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_FADER = 0x50000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_TIME = 0x60000000;
inline constexpr uint32_t MIXERCONTROL_CT_CLASS_LIST = 0x70000000;

inline constexpr uint32_t MIXERCONTROL_CT_UNITS_MASK = 0x00FF0000;
inline constexpr uint32_t MIXERCONTROL_CT_UNITS_CUSTOM = 0x00000000;
inline constexpr uint32_t MIXERCONTROL_CT_UNITS_BOOLEAN = 0x00010000;
inline constexpr uint32_t MIXERCONTROL_CT_UNITS_SIGNED = 0x00020000;
inline constexpr uint32_t MIXERCONTROL_CT_UNITS_UNSIGNED = 0x00030000;
inline constexpr uint32_t MIXERCONTROL_CT_UNITS_DECIBELS = 0x00040000;
inline constexpr uint32_t MIXERCONTROL_CT_UNITS_PERCENT = 0x00050000;

inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_CUSTOM = 0x00000000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_BOOLEANMETER = 0x10010000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_SIGNEDMETER = 0x10020000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_UNSIGNEDMETER = 0x10030000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_BOOLEAN = 0x20010000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_ONOFF = 0x20010001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MONO = 0x20010003;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_LOUDNESS = 0x20010004;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_STEREOENH = 0x20010005;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_BUTTON = 0x21010000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_DECIBELS = 0x30040000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_SIGNED = 0x30020000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_UNSIGNED = 0x30030000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_PERCENT = 0x30050000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_SLIDER = 0x40020000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_PAN = 0x40020001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_QSOUNDPAN = 0x40020002;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_FADER = 0x50030000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_BASS = 0x50030002;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_TREBLE = 0x50030003;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_EQUALIZER = 0x50030004;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_SINGLESELECT = 0x70010000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT = 0x71010000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MIXER = 0x71010001;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MICROTIME = 0x60030000;
inline constexpr uint32_t MIXERCONTROL_CONTROLTYPE_MILLITIME = 0x61030000;

// Control flags.
inline constexpr uint32_t MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;  // one value for all channels
inline constexpr uint32_t MIXERCONTROL_CONTROLF_MULTIPLE =
    0x00000002;  // item count values per channel
inline constexpr uint32_t MIXERCONTROL_CONTROLF_DISABLED = 0x80000000;

// What one mixer device reports of itself.
struct SMixerCaps {
    std::string strProductName;
    uint32_t nDestinations = 0;
};

// One line of a mixer device: a destination (a mix the card produces) or one
// of the sources that feed it. nDestination and nSource address the line when
// it is queried; the rest is filled by the query.
struct SMixerLine {
    uint32_t nDestination = 0;
    uint32_t nSource = 0;
    uint32_t nLineID = 0;
    uint32_t nComponentType = 0;
    uint32_t nChannels = 0;
    uint32_t nConnections = 0;  // sources of a destination; 0 for a source
    uint32_t nControls = 0;
    std::string strShortName;
    std::string strName;
};

// One control of a line. Bounds are not carried: volumes are 0..65535 and
// switches 0 or 1 at this interface, whatever the card's own range.
struct SMixerControl {
    uint32_t nControlID = 0;
    uint32_t nControlType = 0;
    uint32_t nControlFlags = 0;
    uint32_t nMultipleItems = 0;
    std::string strShortName;
    std::string strName;
};

// A value transfer of one control: nChannels × max(nMultipleItems, 1) values,
// channel by channel. One channel on a control of several means "all alike"
// when writing and "the first channel" when reading.
struct SMixerControlDetails {
    uint32_t nControlID = 0;
    uint32_t nChannels = 0;
    uint32_t nMultipleItems = 0;
    std::span<uint32_t> values;
};
