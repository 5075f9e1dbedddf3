#pragma once

#include <vector>

#include "presets/PresetStore.h"

// One slot that a scan's store or an import would change: as it is and as it
// would be. A list of them is shown before it is applied.
struct SPresetChange {
    int nBand = CPresetStore::BAND_FM;
    int nSlot = 0;
    CPresetStore::SSlot before;
    CPresetStore::SSlot after;
};

// Writes what the changes make of their slots, all at once or, when the
// write fails, none of them.
inline bool ApplyPresetChanges(CPresetStore& store, const std::vector<SPresetChange>& changes) {
    std::vector<CPresetStore::SSlotWrite> writes;
    writes.reserve(changes.size());
    for (const SPresetChange& change : changes) {
        writes.push_back({change.nBand, change.nSlot, change.after});
    }
    return store.WriteSlots(writes);
}
