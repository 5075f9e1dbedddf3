#include "presets/ScanPlacement.h"

#include <algorithm>

#include "presets/KeypadPage.h"

std::optional<CScanPlacement::EMode> CScanPlacement::ParseMode(std::string_view text) {
    if (text == "free") {
        return EMode::FreeSlots;
    }
    if (text == "page") {
        return EMode::Page;
    }
    if (text == "band") {
        return EMode::Band;
    }
    return std::nullopt;
}

const char* CScanPlacement::ModeName(EMode eMode) {
    switch (eMode) {
        case EMode::FreeSlots:
            return "free";
        case EMode::Page:
            return "page";
        case EMode::Band:
            return "band";
    }
    return "free";
}

CPresetStore::SSlot CScanPlacement::SlotOf(const SScanStation& station) {
    // Mono forced only where stereo was not heard on FM; AM has no stereo.
    const int nFlag = station.nBand == CPresetStore::BAND_FM && !station.bStereo ? 1 : 0;
    return {CChannelWord::Of(station.nBand, station.nFrequency, nFlag).Value(), station.strName};
}

std::vector<SPresetChange> CScanPlacement::Plan(const CPresetStore& store, int nBand,
                                                const std::vector<SScanStation>& stations,
                                                EMode eMode, int nPage) {
    std::vector<const SScanStation*> pending;
    for (const SScanStation& station : stations) {
        const bool bHeld =
            eMode == EMode::FreeSlots && store.FindSlot(nBand, station.nFrequency) >= 0;
        if (station.nBand == nBand && !bHeld) {
            pending.push_back(&station);
        }
    }
    int nFirst = 0;
    int nLast = CPresetStore::kSlots - 1;
    if (eMode == EMode::Page) {
        nFirst = std::clamp(nPage, 0, CKeypadPage::kPages - 1) * CKeypadPage::kKeys;
        nLast = nFirst + CKeypadPage::kKeys - 1;
    }
    std::vector<SPresetChange> changes;
    size_t nNext = 0;
    for (int n = nFirst; n <= nLast; ++n) {
        CPresetStore::SSlot before = store.ReadSlot(nBand, n);
        if (eMode == EMode::FreeSlots && before.nValue != 0) {
            continue;
        }
        CPresetStore::SSlot after;
        if (nNext < pending.size()) {
            after = SlotOf(*pending[nNext++]);
        } else if (eMode == EMode::FreeSlots) {
            break;
        }
        if (after.nValue != before.nValue || after.strTitle != before.strTitle) {
            changes.push_back({nBand, n, std::move(before), std::move(after)});
        }
    }
    return changes;
}
