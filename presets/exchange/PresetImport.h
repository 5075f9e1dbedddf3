#pragma once

#include <string>
#include <vector>

#include "presets/PresetChange.h"
#include "presets/PresetStore.h"
#include "presets/ScanPlacement.h"
#include "presets/exchange/PresetFile.h"

// What an import would change, to show before it is applied: a file that
// says its slots (Kestrel's JSON) replaces both bands slot by slot; one that
// does not (CSV, gqrx) is placed as a scan's stations are, by eMode.
class CPresetImport {
public:
    static std::vector<SPresetChange> Plan(const CPresetStore& store,
                                           const SPresetDocument& document,
                                           CScanPlacement::EMode eMode, int nPage = 0);
    // "slot 3: empty -> FM 88.10MHz  KESTREL": one line a change.
    static std::string Describe(const SPresetChange& change);
};
