#pragma once

#include <string>

// The names Kestrel shares between its parts and with the world outside:
// the running copy is found by its window title, scheduled jobs by their
// work item names, the tables by their data source.
namespace KestrelNames {

// The main window's title and every message box's caption.
inline constexpr const char* kWindowTitle = "Kestrel Radio";

// The ODBC data source of the catalogue and the schedule.
inline constexpr const char* kDataSource = "KestrelRadio";
inline constexpr const char* kConnectString = "ODBC;DSN=KestrelRadio";

// A scheduled recording's work item, and the comment it carries.
inline std::string WorkItemName(int nTask) {
    return "KestrelRadio_Record_" + std::to_string(nTask);
}
inline constexpr const char* kWorkItemComment = "KestrelRadio Record";

// The folder in the home folder that recordings go to by default.
inline constexpr const char* kRecordFolder = "RadioRecord";

// The mixer source types a capture input is stored as (SET/PinType).
inline constexpr int kPinTypeLine = 4098;        // MIXERLINE_COMPONENTTYPE_SRC_LINE
inline constexpr int kPinTypeMicrophone = 4099;  // MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE

}  // namespace KestrelNames
