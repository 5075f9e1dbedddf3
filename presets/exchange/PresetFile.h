#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CPresetStore;

// One preset as a file holds it.
struct SPresetRow {
    int nBand = 1;            // 1 FM, 0 AM
    int nSlot = -1;           // -1: the file does not say
    unsigned nFrequency = 0;  // as the store keeps it: FM in 10 kHz, AM in kHz
    int nChannelFlag = 0;
    std::string strTitle;
    size_t nLine = 0;  // where it was read
};

// The presets a file holds, in its order.
struct SPresetDocument {
    std::string strSetName;  // Kestrel's JSON only
    bool bSlots = false;     // the rows say their slots (Kestrel's JSON)
    std::vector<SPresetRow> rows;
};

// What a read made of a file: the presets, or why the file was refused
// (with the line it stopped at); notes say what was cleaned or left out.
struct SPresetRead {
    std::optional<SPresetDocument> document;
    std::string strError;
    std::vector<std::string> notes;
};

// The preset files Kestrel reads and writes: its own JSON (every field of
// both bands and the set's name), CSV (frequency, band, title, flag) and
// gqrx's bookmarks.csv. Reading trusts nothing: a file that is too large,
// not UTF-8, cut short or of another program is refused with the line it
// stopped at; a row outside the bands, a frequency given twice, a title
// with control characters or that a spreadsheet would run as a formula is
// cleaned or left out with a note. Pure functions but for the file calls.
class CPresetFile {
public:
    enum class EFormat { Json, Csv, Gqrx };
    static constexpr size_t kMaxBytes = size_t{1} << 20;
    static constexpr size_t kMaxTitleBytes = 255;

    static std::optional<EFormat> FormatNamed(std::string_view name);
    static const char* FormatName(EFormat eFormat);
    // By the file's name (".json"; gqrx's "bookmarks.csv"; ".csv"), else by
    // what it holds; JSON without a clue.
    static EFormat FormatOf(const std::string& strPath, std::string_view bytes = {});

    // The current set of the store, every filled slot of both bands.
    static SPresetDocument FromStore(const CPresetStore& store, std::string strSetName);

    static std::string Write(EFormat eFormat, const SPresetDocument& document);
    static SPresetRead Read(EFormat eFormat, std::string_view bytes);

    // The file read whole, at most kMaxBytes; none with the reason.
    static std::optional<std::string> Load(const std::string& strPath, std::string& strWhy);
    // Written beside itself and renamed over: a failed write leaves the old file.
    static bool Save(const std::string& strPath, const std::string& strText, std::string& strWhy);
};
