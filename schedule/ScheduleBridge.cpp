#include "schedule/ScheduleBridge.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "platform/names/KestrelNames.h"
#include "platform/scheduler/ExecutablePath.h"
#include "platform/scheduler/SchedulerServices.h"
#include "schedule/DataSourceId.h"

namespace {

// What a program started by the scheduler needs to open its window in the
// session it was scheduled from; the scheduler's own environment lacks them.
constexpr const char* kDisplayVariables[] = {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY",
                                             "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS"};

std::vector<std::string> Words(const std::string& strText) {
    std::istringstream stream(strText);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

std::string Hex(int nValue) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%x", static_cast<unsigned>(nValue));
    return text;
}

}  // namespace

CScheduleBridge::CScheduleBridge(CSchedulerServices& services, std::ostream& out, std::ostream& err)
    : m_services(services), m_out(out), m_err(err) {}

int CScheduleBridge::StartScheduler() {
    if (m_services.IsRunning()) {
        m_out << "Task Scheduler is already running.\n" << std::flush;
        return 0;
    }
    int nError = m_services.Start();
    if (nError == 0) {
        m_out << "Task Scheduler has been started.\n" << std::flush;
        return 0;
    }
    m_out << "Could not start Task Scheduler.\n" << std::flush;
    return nError;
}

// A denied user is not helped by a daemon started for them.
CStatus CScheduleBridge::PrepareScheduler() {
    std::string strReason;
    ESchedulerState eState = m_services.State(strReason);
    if (eState != ESchedulerState::Denied) {
        const int nStart = StartScheduler();
        eState = m_services.State(strReason);
        if (eState == ESchedulerState::Stopped && nStart != 0) {
            strReason += " and could not be started: " + std::string(std::strerror(nStart));
        }
    }
    if (eState == ESchedulerState::Usable) {
        return CStatus::Ok();
    }
    m_err << "Scheduled recordings cannot run: " << strReason << "\n" << std::flush;
    return CStatus::Failed(eState == ESchedulerState::Denied ? kDeniedKey : kStoppedKey);
}

int CScheduleBridge::CreateWorkItem(std::time_t begin, const std::string& strName) {
    m_Begin = begin;
    m_strName = strName;
    m_strFailureKey.clear();
    m_nRegistration = RegisterWorkItem();
    return 1;
}

int CScheduleBridge::CreateTaskWorkItem(int nTask, std::time_t begin,
                                        const std::string& strWorkingDirectory) {
    m_strApplication = OwnExecutablePath();
    m_strParameters = std::to_string(nTask);
    m_strWorkingDirectory = strWorkingDirectory;
    m_strComment = KestrelNames::kWorkItemComment;
    return CreateWorkItem(begin, KestrelNames::WorkItemName(nTask));
}

int CScheduleBridge::RegisterWorkItem() {
    SWorkItem item;
    item.strName = m_strName;
    item.strOwner = m_strOwner;
    item.strApplication = m_strApplication;
    if (!m_strOwner.empty()) {
        item.arguments.push_back(CDataSourceId::Switch(m_strOwner));
    }
    for (std::string& word : Words(m_strParameters)) {
        item.arguments.push_back(std::move(word));
    }
    item.strWorkingDirectory = m_strWorkingDirectory;
    item.strComment = m_strComment;
    item.begin = m_Begin;
    for (const char* name : kDisplayVariables) {
        if (const char* value = std::getenv(name)) {
            item.environment.emplace_back(name, value);
        }
    }
    std::string strError;
    int nResult = m_services.Submit(item, strError);
    if (nResult == 0) {
        return 1;
    }
    m_strFailureKey = nResult == EACCES ? kDeniedKey : kNotRegisteredKey;
    // A name that exists fails quietly, as the first registration stands.
    if (nResult != EEXIST) {
        m_err << "Failed calling at, error = " << Hex(nResult) << "\n";
        if (!strError.empty()) {
            m_err << strError << "\n";
        }
        m_err << std::flush;
    }
    return 0;
}

bool CScheduleBridge::DeleteWorkItem(const std::string& strName) {
    return m_services.Remove(strName, m_strOwner);
}
