#pragma once

#include <string>

// The band plan's arithmetic for one band, apart from the tuner's state and
// threads: the limits, the channel spacing, folding into the band, and the
// main window's channel and fine steps. A value, cheap to make: ask the tuner
// for the one of its band plan, or make one from a regional standard.
class CTuningSteps {
public:
    enum : int { BAND_AM = 0, BAND_FM = 1 };
    enum : int { AM_STEP_10KHZ = 1, AM_STEP_9KHZ = 2 };
    enum : int { FM_RANGE_JAPAN = 3, FM_RANGE_WIDE = 4 };
    enum : int { STANDARD_EUROPE = 0, STANDARD_JAPAN = 1, STANDARD_USA = 2 };

    struct SPlan {
        int nAmStep = AM_STEP_9KHZ;
        int nFmRange = FM_RANGE_JAPAN;
    };

    constexpr CTuningSteps(int nBand, SPlan plan) : m_nBand(nBand), m_plan(plan) {}

    // The plan of SET/BAND; another value keeps the plan given.
    static constexpr SPlan PlanOf(int nStandard, SPlan current) {
        switch (nStandard) {
            case STANDARD_EUROPE:
                return {AM_STEP_9KHZ, FM_RANGE_WIDE};
            case STANDARD_JAPAN:
                return {AM_STEP_9KHZ, FM_RANGE_JAPAN};
            case STANDARD_USA:
                return {AM_STEP_10KHZ, FM_RANGE_WIDE};
            default:
                return current;
        }
    }

    int Band() const { return m_nBand; }
    unsigned Lower() const;
    unsigned Upper() const;
    // 10 for FM (100 kHz) and the 10 kHz AM plan, else 9.
    unsigned Spacing() const;
    // Below the band comes its upper limit, above it the lower one.
    unsigned Wrap(unsigned frequency) const;
    // Onto the next channel of the grid, down or up, folded into the band:
    // down from off the grid lands on the channel below.
    unsigned ChannelStep(unsigned frequency, bool bUp) const;
    // One unit (FM 10 kHz, AM 1 kHz), folded into the band.
    unsigned FineStep(unsigned frequency, bool bUp) const;
    // The signal indicator's value for a measured station's tuning offset
    // (the meter shows it clamped to 0..100).
    // The frequency display's text: "87.50MHz", "1629KHz".
    std::string DisplayText(unsigned frequency) const;
    int SignalLevel(int nTuningOffset) const {
        return nTuningOffset * (m_nBand == BAND_FM ? 5 : 18);
    }

private:
    int m_nBand;
    SPlan m_plan;
};
