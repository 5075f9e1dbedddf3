#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/profile/Profile.h"

class CSchedulerServices;
class CScopedEnvironment;

// One user of scheduled recordings, in a folder of its own: a home, a
// runtime folder (where the single-instance socket lives, mode 0700), a
// profile and a record folder, and the variables the program gets from the
// job that starts it. Cases run side by side without meeting.
class CScheduledCase {
public:
    // strSimulate: KESTREL_SIMULATE ("1", "unplugged").
    CScheduledCase(const std::filesystem::path& folder, std::string strSimulate = "1");

    const std::filesystem::path& Folder() const { return m_folder; }
    const std::string& RuntimeDir() const { return m_strRuntimeDir; }
    const std::string& ProfilePath() const { return m_strProfile; }
    CProfile& Profile() { return m_profile; }
    std::filesystem::path RecordFolder() const;
    void SetRecordFolder(const std::filesystem::path& folder);

    // The variables the program must see, put into this process's
    // environment for the scope's life; strDisplay empty: no display at all.
    void Enter(CScopedEnvironment& scope, const std::string& strDisplay = {}) const;
    // This process's environment with the case's variables and the extra
    // "NAME=value" entries in place of its own, for a program started directly.
    std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;

    // Registers task nTask's work item to run at begin, as the new task
    // window does; the case's variables must be in the environment. Returns
    // the bridge's error output when the registration failed.
    std::optional<std::string> Submit(CSchedulerServices& scheduler, const std::string& strProgram,
                                      const std::string& strOwner, int nTask,
                                      std::time_t begin) const;

    // Recordings in the record folder, named "%Y%m%d%H%M%S.wav|.wma".
    std::vector<std::filesystem::path> Recordings() const;

private:
    std::filesystem::path m_folder;
    std::string m_strSimulate;
    std::string m_strHome;
    std::string m_strRuntimeDir;
    std::string m_strProfile;
    CProfile m_profile;
};

// GStreamer's plugin registry at file for this process and every program
// started from here, built now: a user's programs find it made (any
// GStreamer program made it), while a fresh home would make each of them
// scan every plugin at its start.
void ShareMediaRegistry(CScopedEnvironment& scope, const std::filesystem::path& file);

// The work item of a task, as the program names it.
std::string WorkItemName(int nTask);
// The local start time a recording's name stands for; nothing when the name
// is not one.
std::optional<std::time_t> StartOfRecording(const std::filesystem::path& file);
