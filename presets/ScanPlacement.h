#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "presets/PresetChange.h"
#include "presets/PresetStore.h"
#include "presets/ScanStation.h"

// Where the stations of a band scan go among the presets, as changes to
// confirm: the free slots filled (a station already held is left out), one
// keypad page replaced, or the whole band replaced. Titles are the names the
// stations send; the channel flag is the stereo the test heard.
class CScanPlacement {
public:
    enum class EMode { FreeSlots, Page, Band };

    // "free", "page", "band".
    static std::optional<EMode> ParseMode(std::string_view text);
    static const char* ModeName(EMode eMode);

    // Stations of other bands are left out; those beyond the slots at hand
    // too. Slots replaced and left over are cleared, title and all.
    static std::vector<SPresetChange> Plan(const CPresetStore& store, int nBand,
                                           const std::vector<SScanStation>& stations, EMode eMode,
                                           int nPage = 0);

    static CPresetStore::SSlot SlotOf(const SScanStation& station);
};
