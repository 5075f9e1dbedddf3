#pragma once

#include <cstdint>

// A station as one 32-bit word: the preset value of the profile's KEYS and,
// widened by the mute bit, the channel word of the Task table.
//
//   bits 0-23  frequency (FM in 10 kHz, AM in kHz); a scheduled start reads
//              only bits 0-15, as the task's tuning has always done
//   bit 23     mute while recording (channel words only)
//   bit 26     channel flag
//   bit 31     FM (every FM value the preset editor stores)
//
// 0 is an empty preset slot. A value; every coding of these bits lives here.
class CChannelWord {
public:
    enum : int { BAND_AM = 0, BAND_FM = 1 };
    static constexpr std::uint32_t kFrequencyMask = 0xFFFFFF;
    static constexpr std::uint32_t kTaskFrequencyMask = 0xFFFF;
    static constexpr std::uint32_t kMuteBit = 1u << 23;
    static constexpr int kChannelFlagShift = 26;
    static constexpr std::uint32_t kChannelFlagBit = 1u << kChannelFlagShift;
    static constexpr std::uint32_t kFmBit = 1u << 31;

    constexpr CChannelWord() = default;
    constexpr explicit CChannelWord(std::uint32_t nValue) : m_nValue(nValue) {}
    // nFrequency is taken as it is: a value wider than the field keeps its
    // high bits, as the editor has always stored them.
    static constexpr CChannelWord Of(int nBand, unsigned nFrequency, int nChannelFlag = 0,
                                     bool bMute = false) {
        return CChannelWord(nFrequency | (nBand == BAND_FM ? kFmBit : 0) |
                            (nChannelFlag ? kChannelFlagBit : 0) | (bMute ? kMuteBit : 0));
    }

    constexpr std::uint32_t Value() const { return m_nValue; }
    constexpr bool IsEmpty() const { return m_nValue == 0; }
    constexpr int Band() const { return (m_nValue & kFmBit) ? BAND_FM : BAND_AM; }
    // The preset's frequency: the 24-bit field.
    constexpr unsigned Frequency() const { return m_nValue & kFrequencyMask; }
    // The frequency a scheduled start tunes: the low 16 bits.
    constexpr unsigned TaskFrequency() const { return m_nValue & kTaskFrequencyMask; }
    constexpr int ChannelFlag() const { return (m_nValue >> kChannelFlagShift) & 1; }
    constexpr bool Mute() const { return (m_nValue & kMuteBit) != 0; }
    constexpr CChannelWord WithMute(bool bMute) const {
        return CChannelWord(bMute ? (m_nValue | kMuteBit) : (m_nValue & ~kMuteBit));
    }

    constexpr bool operator==(const CChannelWord&) const = default;

private:
    std::uint32_t m_nValue = 0;
};
