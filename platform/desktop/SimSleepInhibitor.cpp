#include "platform/desktop/SimSleepInhibitor.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/trace/Trace.h"

CSleepInhibition CSimSleepInhibitor::Inhibit(const std::string& strWhy) {
    std::lock_guard lock(m_mutex);
    if (!m_bAvailable) {
        Fault("the simulated logind is off");
        return {};
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        Fault(std::strerror(errno));
        return {};
    }
    m_bFaultTold = false;
    m_holds.push_back({strWhy, CUniqueFd(fds[0])});
    return CSleepInhibition(CUniqueFd(fds[1]));
}

void CSimSleepInhibitor::Fault(const char* what) {
    if (m_bFaultTold) {
        return;
    }
    m_bFaultTold = true;
    KestrelTrace("desktop", "the machine may sleep during recordings: %s", what);
}

std::vector<std::string> CSimSleepInhibitor::HeldReasons() {
    std::lock_guard lock(m_mutex);
    // A pipe hangs up once the last copy of its write end is closed.
    std::erase_if(m_holds, [](const SHold& hold) {
        pollfd entry{hold.readEnd.Get(), POLLIN, 0};
        return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR)) != 0;
    });
    std::vector<std::string> reasons;
    for (const SHold& hold : m_holds) {
        reasons.push_back(hold.strWhy);
    }
    return reasons;
}

void CSimSleepInhibitor::SetLogindAvailable(bool bAvailable) {
    std::lock_guard lock(m_mutex);
    m_bAvailable = bAvailable;
}
