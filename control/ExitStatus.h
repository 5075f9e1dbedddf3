#pragma once

// The exit statuses of kestrel's command line, for scripts to rely on (the
// help text and the manual page list them).
namespace KestrelExit {

inline constexpr int kOk = 0;
// The command was understood and tried but did not succeed (a recording that
// failed, a bus that broke off).
inline constexpr int kFailed = 1;
// The command line, or a value in it, is wrong.
inline constexpr int kUsage = 2;
// The receiver is not plugged in.
inline constexpr int kReceiverAbsent = 3;
// The radio refused: an empty preset, a task its checks refuse, nothing to stop.
inline constexpr int kRefused = 4;
// No running copy to take the command (only --stop needs one).
inline constexpr int kNoCopy = 5;

}  // namespace KestrelExit
