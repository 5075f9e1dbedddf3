#include "presets/PresetStore.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {

constexpr std::string_view kSection = "KEYS";

// Blanks as the C runtime's number conversions skip them.
std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() &&
           (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r'))) {
        text.remove_prefix(1);
    }
    return text;
}

// Where atof and atoi start reading: blanks skipped, one '+' taken ("+-5"
// holds no number).
std::string_view NumberStart(std::string_view text) {
    text = SkipBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return {};
        }
    }
    return text;
}

// The leading number of a text, as atof reads it but independent of the
// process locale (Qt sets the user's, where "98.1" may not be a number).
// 0 without a leading number; none when the number has no finite value.
std::optional<double> LeadingDecimal(std::string_view text) {
    text = NumberStart(text);
    double number = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range || !std::isfinite(number)) {
        return std::nullopt;
    }
    return error == std::errc() ? number : 0.0;
}

// The leading integer of a text, as atoi reads it; none on overflow.
std::optional<long long> LeadingInteger(std::string_view text) {
    text = NumberStart(text);
    long long number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range) {
        return std::nullopt;
    }
    return error == std::errc() ? number : 0;
}

// "%.02f" of f x 0.01, with a decimal point whatever the process locale.
std::string Megahertz(unsigned f) {
    char text[32];
    auto [end, error] =
        std::to_chars(text, text + sizeof(text), f * 0.01, std::chars_format::fixed, 2);
    return error == std::errc() ? std::string(text, end) : std::string();
}

}  // namespace

CPresetStore::CPresetStore(CProfile& profile) : m_profile(profile) {}

CPresetStore::SSlot CPresetStore::ReadSlot(int nBand, int n) const {
    if (!IsSlot(n)) {
        return {};
    }
    return {ReadValue(nBand, n), m_profile.GetProfileString(kSection, TitleKey(nBand, n))};
}

uint32_t CPresetStore::ReadValue(int nBand, int n) const {
    if (!IsSlot(n)) {
        return 0;
    }
    return static_cast<uint32_t>(m_profile.GetProfileInt(kSection, ValueKey(nBand, n), 0));
}

PresetEntry CPresetStore::ReadEntry(int nBand, int n) const {
    SSlot slot = ReadSlot(nBand, n);
    return {Frequency(slot.nValue), ChannelFlag(slot.nValue), std::move(slot.strTitle)};
}

bool CPresetStore::WriteSlot(int nBand, int n, uint32_t nValue, std::string_view title) {
    if (!IsSlot(n)) {
        return false;
    }
    // The profile keeps integers as signed decimal text: an FM value reads
    // "-2147474898" in the file and comes back as the same 32 bits.
    if (!m_profile.WriteProfileInt(kSection, ValueKey(nBand, n), static_cast<int>(nValue))) {
        return false;
    }
    return m_profile.WriteProfileString(kSection, TitleKey(nBand, n), title);
}

bool CPresetStore::WriteSlots(const std::vector<SSlotWrite>& writes) {
    std::vector<std::string> texts;  // the writes point into these
    texts.reserve(writes.size() * 3);
    std::vector<CIniFile::SWrite> lines;
    lines.reserve(writes.size() * 2);
    for (const SSlotWrite& write : writes) {
        if (!IsSlot(write.nSlot)) {
            return false;
        }
        texts.push_back(ValueKey(write.nBand, write.nSlot));
        texts.push_back(TitleKey(write.nBand, write.nSlot));
        texts.push_back(std::to_string(static_cast<int>(write.slot.nValue)));
    }
    for (size_t i = 0; i < writes.size(); ++i) {
        lines.push_back({kSection, texts[i * 3], texts[i * 3 + 2]});
        lines.push_back({kSection, texts[i * 3 + 1], writes[i].slot.strTitle});
    }
    return m_profile.WriteProfileStrings(lines);
}

bool CPresetStore::ClearSlot(int nBand, int n) {
    if (!IsSlot(n)) {
        return false;
    }
    return m_profile.WriteProfileInt(kSection, ValueKey(nBand, n), 0);
}

int CPresetStore::FindSlot(int nBand, unsigned frequency) const {
    for (int n = 0; n < kSlots; ++n) {
        const uint32_t nValue = ReadValue(nBand, n);
        if (nValue != 0 && Frequency(nValue) == frequency) {
            return n;
        }
    }
    return -1;
}

std::optional<uint32_t> CPresetStore::BuildValue(int nBand, std::string_view text, unsigned lower,
                                                 unsigned upper) {
    long long nNumber = 0;
    if (nBand == BAND_FM) {
        std::optional<double> number = LeadingDecimal(text);
        if (!number) {
            return std::nullopt;
        }
        // To the nearest 10 kHz: 80.1 reads as 80.0999..., which cut off
        // would be 80.09 MHz.
        const double product = std::round(*number * 100.0);
        if (!(product >= 0.0 && product <= std::numeric_limits<uint32_t>::max())) {
            return std::nullopt;
        }
        nNumber = static_cast<long long>(product);
    } else {
        std::optional<long long> number = LeadingInteger(text);
        if (!number) {
            return std::nullopt;
        }
        nNumber = *number;
    }
    // A negative entry is refused, as its unsigned reading lies above any limit.
    if (nNumber < 0 || nNumber > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    const auto f = static_cast<uint32_t>(nNumber);
    if (f < lower || f > upper) {
        return std::nullopt;
    }
    return CChannelWord::Of(nBand, f).Value();
}

std::string CPresetStore::ValueKey(int nBand, int n) {
    return std::string(nBand == BAND_FM ? "KEY_FM_" : "KEY_AM_") + std::to_string(n);
}

std::string CPresetStore::TitleKey(int nBand, int n) {
    return ValueKey(nBand, n) + "_Title";
}

std::string CPresetStore::FrequencyNumber(int nBand, unsigned f) {
    return nBand == BAND_FM ? Megahertz(f) : std::to_string(f);
}

std::string CPresetStore::ListText(int nBand, unsigned f) {
    return FrequencyNumber(nBand, f) + (nBand == BAND_FM ? "MHz" : "KHz");
}

std::string CPresetStore::ModelText(int nBand) {
    return nBand == BAND_FM ? "FM" : "AM";
}

std::string CPresetStore::TooltipText(int nBand, unsigned f, std::string_view title) {
    std::string text = ModelText(nBand) + " " + ListText(nBand, f) + "\n";
    if (!title.empty()) {
        text += "  ";
        text += title;
    }
    return text;
}

std::string CPresetStore::ChannelText(int nBand, unsigned f, std::string_view title) {
    std::string text = ModelText(nBand) + " " + ListText(nBand, f);
    text += nBand == BAND_FM ? "  " : "     ";
    text += title;
    return text;
}
