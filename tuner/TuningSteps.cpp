#include "tuner/TuningSteps.h"

#include <cstdio>

unsigned CTuningSteps::Lower() const {
    if (m_nBand == BAND_FM) {
        return m_plan.nFmRange == FM_RANGE_JAPAN ? 7600 : 8750;
    }
    return m_plan.nAmStep == AM_STEP_10KHZ ? 520 : 522;
}

unsigned CTuningSteps::Upper() const {
    if (m_nBand == BAND_FM) {
        return m_plan.nFmRange == FM_RANGE_JAPAN ? 9000 : 10800;
    }
    return m_plan.nAmStep == AM_STEP_10KHZ ? 1710 : 1629;
}

unsigned CTuningSteps::Spacing() const {
    return m_nBand == BAND_FM || m_plan.nAmStep == AM_STEP_10KHZ ? 10 : 9;
}

unsigned CTuningSteps::Wrap(unsigned frequency) const {
    if (frequency < Lower()) {
        return Upper();
    }
    if (frequency > Upper()) {
        return Lower();
    }
    return frequency;
}

// A frequency below one spacing (a profile's 0) steps down to a huge value,
// which the fold turns into the lower limit.
unsigned CTuningSteps::ChannelStep(unsigned frequency, bool bUp) const {
    const unsigned s = Spacing();
    const unsigned offGrid = frequency % s;
    if (bUp) {
        return Wrap(frequency - offGrid + s);
    }
    return Wrap(offGrid != 0 ? frequency - offGrid : frequency - s);
}

unsigned CTuningSteps::FineStep(unsigned frequency, bool bUp) const {
    return Wrap(bUp ? frequency + 1 : frequency - 1);
}

std::string CTuningSteps::DisplayText(unsigned frequency) const {
    char text[32];
    if (m_nBand == BAND_FM) {
        std::snprintf(text, sizeof(text), "%.2fMHz", frequency * 0.01);
    } else {
        std::snprintf(text, sizeof(text), "%dKHz", static_cast<int>(frequency));
    }
    return text;
}
