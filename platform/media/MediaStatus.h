#pragma once

#include <cstdint>

// Status codes of the media layer, shaped like the ones the graph code was
// written against: 0 is plain success, other non-negative values are
// qualified successes (S_FALSE: done, but not completely), negative values
// are errors.
using MediaStatus = int32_t;

inline constexpr MediaStatus S_OK = 0;
inline constexpr MediaStatus S_FALSE = 1;
inline constexpr MediaStatus E_FAIL = static_cast<MediaStatus>(0x80004005u);
inline constexpr MediaStatus E_NOINTERFACE = static_cast<MediaStatus>(0x80004002u);
inline constexpr MediaStatus E_POINTER = static_cast<MediaStatus>(0x80004003u);
inline constexpr MediaStatus E_INVALIDARG = static_cast<MediaStatus>(0x80070057u);
inline constexpr MediaStatus E_UNEXPECTED = static_cast<MediaStatus>(0x8000FFFFu);
// No room on the disk (the Win32 disk-full code as a status).
inline constexpr MediaStatus E_DISK_FULL = static_cast<MediaStatus>(0x80070070u);

inline constexpr bool MediaFailed(MediaStatus status) {
    return status < 0;
}
inline constexpr bool MediaSucceeded(MediaStatus status) {
    return status >= 0;
}
