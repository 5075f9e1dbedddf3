#include "core/Retention.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "core/RadioCore.h"
#include "platform/db/DBException.h"
#include "platform/trace/Trace.h"
#include "schedule/TaskRecordings.h"
#include "schedule/TaskRules.h"

namespace {
constexpr const char* kTag = "retention";
constexpr std::time_t kDay = 24 * 3600;
}  // namespace

CRetention::SResult CRetention::Apply(int nTask, std::time_t now) {
    SResult result;
    CDbDriver& database = m_core.Services().database;
    const std::optional<STaskRule> rule = CTaskRules(database).Find(nTask);
    if (!rule || (rule->nKeepLast <= 0 && rule->nKeepDays <= 0)) {
        return result;
    }
    CTaskRecordings links(database);
    const std::vector<CTaskRecordings::SRecording> recordings = links.ForTask(nTask);
    const size_t nCount = recordings.size();
    for (size_t n = 0; n < nCount; ++n) {
        const CTaskRecordings::SRecording& recording = recordings[n];
        const bool bBeyondLast =
            rule->nKeepLast > 0 && n + static_cast<size_t>(rule->nKeepLast) < nCount;
        const bool bTooOld =
            rule->nKeepDays > 0 && recording.started < now - rule->nKeepDays * kDay;
        if (!bBeyondLast && !bTooOld) {
            continue;
        }
        if (Remove(recording.nFile)) {
            links.Forget(recording.nFile);
            ++result.nRemoved;
        } else {
            ++result.nKept;
        }
    }
    return result;
}

bool CRetention::Remove(int nFile) {
    CFileListSet& files = m_core.FileList();
    const std::string strFile = files.GetFileName(nFile);
    if (strFile.empty()) {
        return true;  // the user deleted it
    }
    const bool bRecording = m_core.Recording() != 0 && strFile == m_core.RecordFile();
    if (bRecording || strFile == m_core.AudioGraph().PlaybackFile()) {
        KestrelTrace(kTag, "%s is in use and stays", strFile.c_str());
        return false;
    }
    try {
        files.DeleteById(nFile);
    } catch (const CDBException& error) {
        KestrelTrace(kTag, "the row of %s stays: %s", strFile.c_str(), error.ErrorText().c_str());
        return false;
    }
    std::error_code error;
    if (!std::filesystem::remove(strFile, error) && error) {
        // The row is gone already: the file is only space now, never a row's.
        KestrelTrace(kTag, "%s cannot be removed: %s", strFile.c_str(), error.message().c_str());
    }
    KestrelTrace(kTag, "removed %s", strFile.c_str());
    return true;
}
