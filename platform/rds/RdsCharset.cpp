#include "platform/rds/RdsCharset.h"

#include <array>

namespace {

// Codes 0x80 to 0xFF, a column of sixteen per line.
constexpr std::array<const char*, 128> kHigh = {
    "á", "à", "é", "è", "í", "ì", "ó", "ò", "ú", "ù", "Ñ", "Ç", "Ş", "β", "¡", "Ĳ",  // 0x80
    "â", "ä", "ê", "ë", "î", "ï", "ô", "ö", "û", "ü", "ñ", "ç", "ş", "ǧ", "ı", "ĳ",  // 0x90
    "ª", "α", "©", "‰", "Ǧ", "ě", "ň", "ő", "π", "€", "£", "$", "←", "↑", "→", "↓",  // 0xA0
    "º", "¹", "²", "³", "±", "İ", "ń", "ű", "µ", "¿", "÷", "°", "¼", "½", "¾", "§",  // 0xB0
    "Á", "À", "É", "È", "Í", "Ì", "Ó", "Ò", "Ú", "Ù", "Ř", "Č", "Š", "Ž", "Ð", "Ŀ",  // 0xC0
    "Â", "Ä", "Ê", "Ë", "Î", "Ï", "Ô", "Ö", "Û", "Ü", "ř", "č", "š", "ž", "đ", "ŀ",  // 0xD0
    "Ã", "Å", "Æ", "Œ", "ŷ", "Ý", "Õ", "Ø", "Þ", "Ŋ", "Ŕ", "Ć", "Ś", "Ź", "Ŧ", "ð",  // 0xE0
    "ã", "å", "æ", "œ", "ŵ", "ý", "õ", "ø", "þ", "ŋ", "ŕ", "ć", "ś", "ź", "ŧ", " ",  // 0xF0
};

// Where the set's first half differs from ASCII.
const char* LowException(uint8_t nCode) {
    switch (nCode) {
        case 0x24:
            return "¤";
        case 0x5E:
            return "―";
        case 0x60:
            return "‖";
        case 0x7E:
            return "¯";
        default:
            return nullptr;
    }
}

constexpr std::array<char, 128> MakeAscii() {
    std::array<char, 128> ascii{};
    for (size_t n = 0; n < ascii.size(); ++n) {
        ascii[n] = static_cast<char>(n);
    }
    return ascii;
}
constexpr std::array<char, 128> kAscii = MakeAscii();

}  // namespace

namespace RdsCharset {

std::string_view ToUtf8(uint8_t nCode) {
    if (nCode >= 0x80) {
        return kHigh[nCode - 0x80];
    }
    if (nCode < 0x20 || nCode == 0x7F) {
        return " ";
    }
    if (const char* pException = LowException(nCode)) {
        return pException;
    }
    return {&kAscii[nCode], 1};
}

std::string ToUtf8(std::string_view codes) {
    std::string text;
    for (char code : codes) {
        text += ToUtf8(static_cast<uint8_t>(code));
    }
    return text;
}

std::optional<uint8_t> FromUtf8(std::string_view text, size_t& nBytes) {
    nBytes = 1;
    if (text.empty()) {
        return std::nullopt;
    }
    for (unsigned nCode = 0x20; nCode <= 0xFE; ++nCode) {
        const std::string_view utf8 = ToUtf8(static_cast<uint8_t>(nCode));
        if (nCode != 0x20 && utf8 == " ") {
            continue;
        }
        if (text.substr(0, utf8.size()) == utf8) {
            nBytes = utf8.size();
            return static_cast<uint8_t>(nCode);
        }
    }
    return std::nullopt;
}

std::string FromUtf8(std::string_view text) {
    std::string codes;
    while (!text.empty()) {
        size_t nBytes = 1;
        const std::optional<uint8_t> code = FromUtf8(text, nBytes);
        codes += code ? static_cast<char>(*code) : '?';
        text.remove_prefix(nBytes);
    }
    return codes;
}

}  // namespace RdsCharset
