#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/profile/Profile.h"
#include "presets/ChannelWord.h"
#include "presets/PresetEntry.h"

// The stored stations: one hundred slots per band in section "KEYS" of the
// application profile, "KEY_FM_n"/"KEY_AM_n" holding the preset value and
// "KEY_FM_n_Title"/"KEY_AM_n_Title" its title.
//
// Preset value: a CChannelWord without the mute bit; 0 is an empty slot
// whatever its title.
//
// No copy is kept: every read goes to the profile, so what the short key
// dialog writes is what the keypad and the new task dialog read next.
class CPresetStore {
public:
    enum : int { BAND_AM = 0, BAND_FM = 1 };
    static constexpr int kSlots = 100;
    static constexpr uint32_t kFmBit = CChannelWord::kFmBit;

    struct SSlot {
        uint32_t nValue = 0;
        std::string strTitle;
    };

    explicit CPresetStore(CProfile& profile);

    SSlot ReadSlot(int nBand, int n) const;
    uint32_t ReadValue(int nBand, int n) const;
    // The keypad's copy of slot n.
    PresetEntry ReadEntry(int nBand, int n) const;
    // False for a slot number outside 0-99 (nothing written) or a failed write.
    bool WriteSlot(int nBand, int n, uint32_t nValue, std::string_view title);
    // Writes 0 to the value; the title key stays.
    bool ClearSlot(int nBand, int n);
    // Many slots written at once (value and title): all of them, or none
    // when the write fails.
    struct SSlotWrite {
        int nBand = BAND_FM;
        int nSlot = 0;
        SSlot slot;
    };
    bool WriteSlots(const std::vector<SSlotWrite>& writes);
    // The lowest-numbered slot whose frequency is the given one; -1 for none.
    int FindSlot(int nBand, unsigned frequency) const;

    // The value the editor stores for a typed frequency, or none when it lies
    // outside lower..upper. FM: the text's leading decimal number times 100,
    // rounded to the nearest unit (76.1 gives 7610), with bit 31 set; AM: its leading integer.
    // A text without a leading number reads as 0.
    static std::optional<uint32_t> BuildValue(int nBand, std::string_view text, unsigned lower,
                                              unsigned upper);

    static unsigned Frequency(uint32_t nValue) { return CChannelWord(nValue).Frequency(); }
    static uint8_t ChannelFlag(uint32_t nValue) {
        return static_cast<uint8_t>(CChannelWord(nValue).ChannelFlag());
    }

    static std::string ValueKey(int nBand, int n);
    static std::string TitleKey(int nBand, int n);

    // Display texts of a value's frequency f (the 24-bit field).
    // "87.50" or "1008": the number alone, as the edit boxes show it.
    static std::string FrequencyNumber(int nBand, unsigned f);
    // "87.50MHz" or "1008KHz": the short key list's frequency column.
    static std::string ListText(int nBand, unsigned f);
    // "FM" or "AM".
    static std::string ModelText(int nBand);
    // "FM 87.50MHz\n" or "AM 1008KHz\n", then two blanks and the title if any.
    static std::string TooltipText(int nBand, unsigned f, std::string_view title);
    // "FM 87.50MHz  " or "AM 1008KHz     ", then the title.
    static std::string ChannelText(int nBand, unsigned f, std::string_view title);

private:
    static bool IsSlot(int n) { return n >= 0 && n < kSlots; }

    CProfile& m_profile;
};
