#include "platform/scheduler/SimScheduler.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/scheduler/ChildProcess.h"

namespace {

// As the at back-end matches: an item without an owner goes by its name.
bool IsItemOf(const SWorkItem& item, const std::string& strName, const std::string& strOwner) {
    return item.strName == strName && (item.strOwner.empty() || item.strOwner == strOwner);
}

}  // namespace

CSimScheduler::CSimScheduler() : m_launcher(&CSimScheduler::LaunchProgram) {}

ESchedulerState CSimScheduler::State(std::string& strReason) {
    std::lock_guard lock(m_mutex);
    strReason.clear();
    if (m_bDenied) {
        strReason = "the simulated scheduler denies this user";
        return ESchedulerState::Denied;
    }
    if (!m_bRunning) {
        strReason = "the simulated scheduler is stopped";
        return ESchedulerState::Stopped;
    }
    return ESchedulerState::Usable;
}

bool CSimScheduler::IsRunning() {
    std::lock_guard lock(m_mutex);
    return m_bRunning;
}

int CSimScheduler::Start() {
    std::lock_guard lock(m_mutex);
    ++m_nStarts;
    if (m_nStartFailure != 0) {
        return m_nStartFailure;
    }
    m_bRunning = true;
    return 0;
}

std::vector<SWorkItem>::iterator CSimScheduler::Find(const std::string& strName,
                                                     const std::string& strOwner) {
    return std::find_if(m_items.begin(), m_items.end(),
                        [&](const SWorkItem& item) { return IsItemOf(item, strName, strOwner); });
}

int CSimScheduler::Submit(const SWorkItem& item, std::string& strError) {
    std::lock_guard lock(m_mutex);
    strError.clear();
    if (m_bDenied) {
        strError = "You do not have permission to use at.";
        return EACCES;
    }
    if (m_nSubmitFailure != 0) {
        strError = std::strerror(m_nSubmitFailure);
        return m_nSubmitFailure;
    }
    if (Find(item.strName, item.strOwner) != m_items.end()) {
        strError = "a work item named " + item.strName + " exists";
        return EEXIST;
    }
    m_items.push_back(item);
    return 0;
}

bool CSimScheduler::Remove(const std::string& strName, const std::string& strOwner) {
    std::lock_guard lock(m_mutex);
    if (m_bRemoveFails) {
        return false;
    }
    return std::erase_if(m_items, [&](const SWorkItem& item) {
               return IsItemOf(item, strName, strOwner);
           }) > 0;
}

std::vector<SWorkItem> CSimScheduler::WorkItems() const {
    std::lock_guard lock(m_mutex);
    return m_items;
}

std::optional<SWorkItem> CSimScheduler::WorkItem(const std::string& strName) const {
    std::lock_guard lock(m_mutex);
    for (const SWorkItem& item : m_items) {
        if (item.strName == strName) {
            return item;
        }
    }
    return std::nullopt;
}

int CSimScheduler::Fire(const std::string& strName) {
    std::optional<SWorkItem> item = WorkItem(strName);
    if (!item) {
        return -1;
    }
    Launcher launcher;
    {
        std::lock_guard lock(m_mutex);
        // A stopped daemon runs nothing.
        if (!m_bRunning) {
            return -1;
        }
        launcher = m_launcher;
    }
    // Unlocked: the started program may well delete its own item meanwhile.
    int nStatus = launcher(*item);
    std::lock_guard lock(m_mutex);
    auto found = Find(strName, item->strOwner);
    if (found != m_items.end()) {
        m_items.erase(found);
    }
    return nStatus;
}

void CSimScheduler::SetLauncher(Launcher launcher) {
    std::lock_guard lock(m_mutex);
    m_launcher = launcher ? std::move(launcher) : Launcher(&CSimScheduler::LaunchProgram);
}

void CSimScheduler::SetDenied(bool bDenied) {
    std::lock_guard lock(m_mutex);
    m_bDenied = bDenied;
}

void CSimScheduler::SetRunning(bool bRunning) {
    std::lock_guard lock(m_mutex);
    m_bRunning = bRunning;
}

int CSimScheduler::StartCount() const {
    std::lock_guard lock(m_mutex);
    return m_nStarts;
}

void CSimScheduler::SetFailure(EOperation operation, int nError) {
    std::lock_guard lock(m_mutex);
    switch (operation) {
        case EOperation::Start:
            m_nStartFailure = nError;
            break;
        case EOperation::Submit:
            m_nSubmitFailure = nError;
            break;
        case EOperation::Remove:
            m_bRemoveFails = nError != 0;
            break;
    }
}

int CSimScheduler::LaunchProgram(const SWorkItem& item) {
    SChildCommand command;
    command.argv.push_back(item.strApplication);
    command.argv.insert(command.argv.end(), item.arguments.begin(), item.arguments.end());
    command.strWorkingDirectory = item.strWorkingDirectory;
    command.environment = CurrentEnvironment();
    for (const auto& [strName, strValue] : item.environment) {
        std::string prefix = strName + "=";
        std::erase_if(command.environment,
                      [&](const std::string& entry) { return entry.starts_with(prefix); });
        command.environment.push_back(prefix + strValue);
    }
    command.timeout = std::chrono::minutes(10);
    SChildResult result = RunChildProcess(command);
    return result.nError == 0 ? result.nExitStatus : -1;
}
