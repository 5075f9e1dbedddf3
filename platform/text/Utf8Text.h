#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The UTF-8 rules every stored text keeps: the catalogue and the task table
// keep text as Unicode, so a byte string that is not UTF-8 would come back as
// another text (and a file name as another file).
class CUtf8Text {
public:
    // Well-formed UTF-8 (no overlong forms, surrogates or code points above
    // U+10FFFF) without a NUL.
    static bool IsValid(std::string_view text);
    // A C0 or C1 control character or DEL (a line break, a tab, an escape):
    // nothing a one-line text may hold. For valid UTF-8.
    static bool HasControlCharacter(std::string_view text);
    // Characters, counting each lead byte.
    static size_t CharacterCount(std::string_view text);
    // At most nMax characters, never ending inside a sequence.
    static std::string Cut(std::string_view text, size_t nMax);
    // Without the blanks at either end.
    static std::string_view Trim(std::string_view text, std::string_view blanks = " \t");
};
