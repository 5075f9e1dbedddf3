#include "platform/hid/SimHidServices.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/hid/SimHidHandle.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

namespace {
constexpr const char* kTag = "simhid";
}

CSimHidServices::~CSimHidServices() {
    std::lock_guard lock(m_mutex);
    for (SInterface& iface : m_interfaces) {
        Disconnect(iface);
    }
}

CSimHidServices::SInterface* CSimHidServices::Find(int nId) {
    auto it = std::find_if(m_interfaces.begin(), m_interfaces.end(),
                           [&](const SInterface& iface) { return iface.nId == nId; });
    return it == m_interfaces.end() ? nullptr : &*it;
}

const CSimHidServices::SInterface* CSimHidServices::Find(int nId) const {
    return const_cast<CSimHidServices*>(this)->Find(nId);
}

std::vector<std::string> CSimHidServices::EnumerateInterfaces() {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> paths;
    for (const SInterface& iface : m_interfaces) {
        if (iface.bPlugged) {
            paths.push_back(iface.strPath);
        }
    }
    return paths;
}

// A silent device keeps its ends until the host closes the other one.
void CSimHidServices::DropClosedPeers(SInterface& iface) {
    std::erase_if(iface.silentPeers, [](const CUniqueFd& fd) {
        pollfd p{fd.Get(), 0, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR)) != 0;
    });
}

void CSimHidServices::Disconnect(SInterface& iface) {
    if (iface.description.pEndpoint) {
        iface.description.pEndpoint->Disconnect();
    }
    iface.silentPeers.clear();
}

std::unique_ptr<CHidHandle> CSimHidServices::Open(const std::string& path) {
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_interfaces.begin(), m_interfaces.end(),
                           [&](const SInterface& iface) { return iface.strPath == path; });
    if (it == m_interfaces.end() || !it->bPlugged) {
        KestrelTrace(kTag, "%s is not present", path.c_str());
        return nullptr;
    }
    if (!it->description.bOpenable) {
        KestrelTrace(kTag, "%s refuses to open", path.c_str());
        return nullptr;
    }
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) {
        KestrelTrace(kTag, "socketpair failed: %s", std::strerror(errno));
        return nullptr;
    }
    CUniqueFd host(fds[0]);
    CUniqueFd device(fds[1]);
    // Connected under the lock, so an Unplug() that follows sees it.
    if (it->description.pEndpoint) {
        it->description.pEndpoint->Connect(std::move(device));
    } else {
        DropClosedPeers(*it);
        it->silentPeers.push_back(std::move(device));
    }
    const SHidAttributes attributes{it->description.nVendorID, it->description.nProductID};
    return std::make_unique<CSimHidHandle>(std::move(host), attributes, it->description.caps,
                                           it->description.pEndpoint, it->pOpenHandles);
}

int CSimHidServices::AddInterface(const SSimHidInterface& description) {
    std::lock_guard lock(m_mutex);
    const int nId = m_nNextId++;
    m_interfaces.push_back({nId,
                            "sim/hidraw" + std::to_string(nId),
                            description,
                            true,
                            std::make_shared<std::atomic<int>>(0),
                            {}});
    NotifyChange();
    return nId;
}

void CSimHidServices::Plug(int nId) {
    std::lock_guard lock(m_mutex);
    if (SInterface* iface = Find(nId); iface && !iface->bPlugged) {
        iface->bPlugged = true;
        NotifyChange();
    }
}

void CSimHidServices::Unplug(int nId) {
    std::lock_guard lock(m_mutex);
    if (SInterface* iface = Find(nId); iface && iface->bPlugged) {
        iface->bPlugged = false;
        Disconnect(*iface);
        NotifyChange();
    }
}

bool CSimHidServices::Start(CMessageTarget* pTarget) {
    std::lock_guard lock(m_mutex);
    m_pNoticeTarget = pTarget;
    return true;
}

void CSimHidServices::Stop() {
    std::lock_guard lock(m_mutex);
    m_pNoticeTarget = nullptr;
}

void CSimHidServices::NotifyChange() {
    if (m_pNoticeTarget) {
        m_pNoticeTarget->Post(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    }
}

bool CSimHidServices::IsPlugged(int nId) const {
    std::lock_guard lock(m_mutex);
    const SInterface* iface = Find(nId);
    return iface && iface->bPlugged;
}

int CSimHidServices::OpenHandles(int nId) const {
    std::lock_guard lock(m_mutex);
    const SInterface* iface = Find(nId);
    return iface ? iface->pOpenHandles->load() : 0;
}

std::string CSimHidServices::PathOf(int nId) const {
    std::lock_guard lock(m_mutex);
    const SInterface* iface = Find(nId);
    return iface ? iface->strPath : std::string();
}
