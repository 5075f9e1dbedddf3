#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The RDS basic character set (EN 50067 Annex E, table E.1): what a station
// sends in its name and radio text, to and from UTF-8.
namespace RdsCharset {

// The UTF-8 of one code; control codes and the unassigned 0xFF are a blank.
std::string_view ToUtf8(uint8_t nCode);
std::string ToUtf8(std::string_view codes);
// The code of the first character of text, and how many bytes it took;
// nullopt when the set has no such character (then one byte is skipped).
std::optional<uint8_t> FromUtf8(std::string_view text, size_t& nBytes);
// A whole text, with '?' for what the set lacks.
std::string FromUtf8(std::string_view text);

}  // namespace RdsCharset
