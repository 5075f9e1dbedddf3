#include "presets/exchange/PresetImport.h"

#include "presets/ChannelWord.h"

namespace {

std::string SlotText(int nBand, const CPresetStore::SSlot& slot) {
    if (slot.nValue == 0) {
        return "empty";
    }
    return CPresetStore::ChannelText(nBand, CPresetStore::Frequency(slot.nValue), slot.strTitle);
}

}  // namespace

std::vector<SPresetChange> CPresetImport::Plan(const CPresetStore& store,
                                               const SPresetDocument& document,
                                               CScanPlacement::EMode eMode, int nPage) {
    std::vector<SPresetChange> changes;
    if (document.bSlots) {
        // Both bands as the file has them: a slot it does not fill is emptied.
        for (int nBand : {CPresetStore::BAND_FM, CPresetStore::BAND_AM}) {
            for (int n = 0; n < CPresetStore::kSlots; ++n) {
                CPresetStore::SSlot after;
                for (const SPresetRow& row : document.rows) {
                    if (row.nBand == nBand && row.nSlot == n) {
                        after = {CChannelWord::Of(nBand, row.nFrequency, row.nChannelFlag).Value(),
                                 row.strTitle};
                    }
                }
                CPresetStore::SSlot before = store.ReadSlot(nBand, n);
                const bool bSame = after.nValue == before.nValue &&
                                   (after.nValue == 0 || after.strTitle == before.strTitle);
                if (!bSame) {
                    changes.push_back({nBand, n, std::move(before), std::move(after)});
                }
            }
        }
        return changes;
    }
    for (int nBand : {CPresetStore::BAND_FM, CPresetStore::BAND_AM}) {
        std::vector<SScanStation> stations;
        for (const SPresetRow& row : document.rows) {
            if (row.nBand == nBand) {
                stations.push_back({nBand, row.nFrequency, 0, row.nChannelFlag == 0, row.strTitle});
            }
        }
        if (stations.empty()) {
            continue;  // a band the file does not speak of stays as it is
        }
        std::vector<SPresetChange> band =
            CScanPlacement::Plan(store, nBand, stations, eMode, nPage);
        changes.insert(changes.end(), band.begin(), band.end());
    }
    return changes;
}

std::string CPresetImport::Describe(const SPresetChange& change) {
    return "slot " + std::to_string(change.nSlot) + ": " + SlotText(change.nBand, change.before) +
           " -> " + SlotText(change.nBand, change.after);
}
