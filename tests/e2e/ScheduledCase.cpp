#include "tests/e2e/ScheduledCase.h"

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "platform/media/GstSupport.h"
#include "platform/scheduler/ChildProcess.h"
#include "schedule/ScheduleBridge.h"
#include "tests/e2e/ScopedEnvironment.h"

namespace fs = std::filesystem;

namespace {

// What the scheduler's environment must not pass on to a run that is to
// find no display.
constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};

void MakePrivateFolder(const fs::path& folder) {
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
}

}  // namespace

CScheduledCase::CScheduledCase(const fs::path& folder, std::string strSimulate)
    : m_folder(folder),
      m_strSimulate(std::move(strSimulate)),
      m_strHome((folder / "home").string()),
      m_strRuntimeDir((folder / "run").string()),
      m_strProfile((folder / "Kestrel.ini").string()),
      m_profile(m_strProfile) {
    MakePrivateFolder(folder);
    MakePrivateFolder(m_strHome);
    MakePrivateFolder(m_strRuntimeDir);
    SetRecordFolder(folder / "RadioRecord");
}

fs::path CScheduledCase::RecordFolder() const {
    return m_profile.GetProfileString("SET", "PATH");
}

void CScheduledCase::SetRecordFolder(const fs::path& folder) {
    if (!m_profile.WriteProfileString("SET", "PATH", folder.string())) {
        throw std::runtime_error("cannot write the profile " + m_strProfile);
    }
}

void CScheduledCase::Enter(CScopedEnvironment& scope, const std::string& strDisplay) const {
    scope.Set("HOME", m_strHome);
    scope.Set("XDG_RUNTIME_DIR", m_strRuntimeDir);
    scope.Set("KESTREL_SIMULATE", m_strSimulate);
    scope.Set("KESTREL_PROFILE", m_strProfile);
    for (const char* pName : kDisplayVariables) {
        scope.Unset(pName);
    }
    if (!strDisplay.empty()) {
        scope.Set("DISPLAY", strDisplay);
    }
}

std::vector<std::string> CScheduledCase::Environment(const std::vector<std::string>& extra) const {
    std::vector<std::string> ours = {"HOME=" + m_strHome, "XDG_RUNTIME_DIR=" + m_strRuntimeDir,
                                     "KESTREL_SIMULATE=" + m_strSimulate,
                                     "KESTREL_PROFILE=" + m_strProfile};
    ours.insert(ours.end(), extra.begin(), extra.end());
    // The first of two entries of a name is the one getenv() finds.
    auto isReplaced = [&ours](const std::string& entry) {
        const std::string strName = entry.substr(0, entry.find('='));
        for (const char* pName : kDisplayVariables) {
            if (strName == pName) {
                return true;
            }
        }
        return std::any_of(ours.begin(), ours.end(), [&strName](const std::string& mine) {
            return mine.starts_with(strName + "=");
        });
    };
    std::vector<std::string> environment;
    for (std::string& entry : CurrentEnvironment()) {
        if (!isReplaced(entry)) {
            environment.push_back(std::move(entry));
        }
    }
    environment.insert(environment.end(), ours.begin(), ours.end());
    return environment;
}

std::optional<std::string> CScheduledCase::Submit(CSchedulerServices& scheduler,
                                                  const std::string& strProgram,
                                                  const std::string& strOwner, int nTask,
                                                  std::time_t begin) const {
    std::ostringstream out;
    std::ostringstream err;
    CScheduleBridge bridge(scheduler, out, err);
    bridge.m_strOwner = strOwner;
    bridge.m_strApplication = strProgram;
    bridge.m_strParameters = std::to_string(nTask);
    bridge.m_strWorkingDirectory = m_folder.string();
    bridge.m_strComment = "KestrelRadio Record";
    bridge.CreateWorkItem(begin, WorkItemName(nTask));
    if (bridge.LastRegistration() != 1) {
        return "the work item of task " + std::to_string(nTask) + " was not registered (" +
               bridge.FailureKey() + "): " + err.str();
    }
    return std::nullopt;
}

std::vector<fs::path> CScheduledCase::Recordings() const {
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(RecordFolder(), error)) {
        if (StartOfRecording(entry.path())) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void ShareMediaRegistry(CScopedEnvironment& scope, const fs::path& file) {
    scope.Set("GST_REGISTRY", file.string());
    EnsureGstInit();
}

std::string WorkItemName(int nTask) {
    return "KestrelRadio_Record_" + std::to_string(nTask);
}

std::optional<std::time_t> StartOfRecording(const fs::path& file) {
    const std::string strExtension = file.extension().string();
    const std::string strStem = file.stem().string();
    if ((strExtension != ".wav" && strExtension != ".wma") || strStem.size() != 14 ||
        strStem.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    std::tm local{};
    std::istringstream stamp(strStem);
    stamp >> std::get_time(&local, "%Y%m%d%H%M%S");
    if (stamp.fail()) {
        return std::nullopt;
    }
    local.tm_isdst = -1;
    return std::mktime(&local);
}
