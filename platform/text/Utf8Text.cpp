#include "platform/text/Utf8Text.h"

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the sequence a lead byte starts and the smallest code point it
// may encode; 0 for a byte that cannot lead.
size_t SequenceLength(unsigned char lead, char32_t& nMinimum) {
    if (lead < 0x80) {
        nMinimum = 0;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        nMinimum = 0x80;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        nMinimum = 0x800;
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        nMinimum = 0x10000;
        return 4;
    }
    return 0;
}

}  // namespace

bool CUtf8Text::IsValid(std::string_view text) {
    for (size_t n = 0; n < text.size();) {
        const auto lead = static_cast<unsigned char>(text[n]);
        char32_t nMinimum = 0;
        const size_t nLength = SequenceLength(lead, nMinimum);
        if (nLength == 0 || lead == 0 || n + nLength > text.size()) {
            return false;
        }
        char32_t nCode = nLength == 1 ? lead : lead & (0x7F >> nLength);
        for (size_t i = 1; i < nLength; ++i) {
            const auto c = static_cast<unsigned char>(text[n + i]);
            if (!IsContinuation(c)) {
                return false;
            }
            nCode = (nCode << 6) | (c & 0x3F);
        }
        if (nCode < nMinimum || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
            return false;
        }
        n += nLength;
    }
    return true;
}

// C1 controls are U+0080..U+009F, encoded C2 80..C2 9F.
bool CUtf8Text::HasControlCharacter(std::string_view text) {
    for (size_t n = 0; n < text.size(); ++n) {
        const auto c = static_cast<unsigned char>(text[n]);
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
        if (c == 0xC2 && n + 1 < text.size() && static_cast<unsigned char>(text[n + 1]) < 0xA0) {
            return true;
        }
    }
    return false;
}

size_t CUtf8Text::CharacterCount(std::string_view text) {
    size_t nCount = 0;
    for (char c : text) {
        nCount += IsContinuation(static_cast<unsigned char>(c)) ? 0 : 1;
    }
    return nCount;
}

std::string CUtf8Text::Cut(std::string_view text, size_t nMax) {
    size_t nCharacters = 0;
    for (size_t n = 0; n < text.size(); ++n) {
        if (!IsContinuation(static_cast<unsigned char>(text[n])) && nCharacters++ == nMax) {
            return std::string(text.substr(0, n));
        }
    }
    return std::string(text);
}

std::string_view CUtf8Text::Trim(std::string_view text, std::string_view blanks) {
    const size_t nFirst = text.find_first_not_of(blanks);
    if (nFirst == std::string_view::npos) {
        return {};
    }
    const size_t nLast = text.find_last_not_of(blanks);
    return text.substr(nFirst, nLast - nFirst + 1);
}
