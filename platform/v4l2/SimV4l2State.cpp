#include "platform/v4l2/SimV4l2State.h"

#include <algorithm>

namespace {

constexpr uint32_t kFmWidthHz = 50'000;
constexpr uint32_t kAmWidthHz = 5'000;

}  // namespace

EV4l2Status SSimV4l2State::TakeFailure(CSimV4l2Control::ECall eCall) {
    const auto it = failures.find(eCall);
    if (it == failures.end()) {
        return EV4l2Status::Ok;
    }
    const EV4l2Status eStatus = it->second.first;
    if (--it->second.second <= 0) {
        failures.erase(it);
    }
    return eStatus;
}

const SSimV4l2Station* SSimV4l2State::Nearest(uint32_t nHz, uint32_t& nOffHz) const {
    const SSimV4l2Station* pNearest = nullptr;
    for (const SSimV4l2Station& station : layout.stations) {
        const uint32_t nOff = station.nHz > nHz ? station.nHz - nHz : nHz - station.nHz;
        if (!pNearest || nOff < nOffHz) {
            pNearest = &station;
            nOffHz = nOff;
        }
    }
    return pNearest;
}

const SV4l2Band* SSimV4l2State::BandOf(uint32_t nHz) const {
    for (const SV4l2Band& band : layout.bands) {
        if (band.nLowHz <= nHz && nHz <= band.nHighHz) {
            return &band;
        }
    }
    return nullptr;
}

SV4l2Signal SSimV4l2State::SignalAt(uint32_t nHz) const {
    SV4l2Signal signal;
    uint32_t nOffHz = 0;
    const SSimV4l2Station* pStation = Nearest(nHz, nOffHz);
    const SV4l2Band* pBand = BandOf(nHz);
    if (!pStation || !pBand || !BandOf(pStation->nHz) || BandOf(pStation->nHz) != pBand) {
        return signal;
    }
    const bool bFm = pBand->eModulation == SV4l2Band::EModulation::Fm;
    const uint32_t nWidth = bFm ? kFmWidthHz : kAmWidthHz;
    if (nOffHz >= nWidth) {
        return signal;
    }
    signal.nStrength = 65535 - static_cast<unsigned>(uint64_t{nOffHz} * 65535 / nWidth);
    signal.bStereo = bFm && layout.bStereo && nOffHz <= nWidth / 2;
    signal.bRds = bFm && layout.bRds && pStation->bRds && nOffHz <= nWidth / 4;
    return signal;
}
