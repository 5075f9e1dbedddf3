#pragma once

#include <string>
#include <vector>

#include "platform/media/MediaStatus.h"

// The recording inputs of one ALSA card, as a capture source's input pins:
// every simple-mixer element with a capture switch (but the card-wide
// "Capture" gate, which must stay on), then the items of the card's capture
// source enumerations ("Capture Source", "Input Source"). Enabling an input
// switches it on; disabling switches it off, or, for an enumeration item,
// leaves the enumeration alone (another item's enabling moves it).
//
// Every call opens the card's mixer anew: a card can go at any time.
class CAlsaCaptureInputs {
public:
    explicit CAlsaCaptureInputs(int nCard) : m_nCard(nCard) {}

    // Empty when the card has no such inputs or its mixer does not open.
    std::vector<std::string> Names() const;
    // E_FAIL: no such input or the mixer does not open.
    MediaStatus Enable(int nInput, bool bEnable) const;

private:
    int m_nCard;
};
