#pragma once

#include <optional>
#include <string>

#include "presets/PresetEntry.h"

// The text of the main window's banner: the name of the radio until a preset
// is tuned, then the tuned preset's title repeated, and its scrolling, one
// character at a time.
class CPresetBanner {
public:
    static const char* const kStart;
    static const char* const kNoPreset;

    const std::string& Text() const { return m_strText; }
    void SetText(std::string strText) { m_strText = std::move(strText); }

    // The banner of a tuned preset, or of none (also for an untitled one).
    void ShowPreset(const std::optional<PresetEntry>& entry);
    // Where the preset has no title: what the station says of itself (its
    // name and radio text), or none. False when the banner stays as it was.
    bool ShowStation(const std::string& strStation);
    // The title, then six blanks and the title again until at least fifty
    // characters are there, then six blanks.
    static std::string TitleText(const std::string& strTitle);

    // Moves the leading character to the end; returns the milliseconds until
    // the next move (longer after a character that is not plain ASCII).
    int Scroll();

private:
    std::string m_strText = kStart;
    std::string m_strStation;  // what ShowStation() shows, empty for none
};
