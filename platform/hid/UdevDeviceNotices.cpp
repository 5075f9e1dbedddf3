#include "platform/hid/UdevDeviceNotices.h"

#include <libudev.h>

#include <cerrno>
#include <cstring>

#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

namespace {

constexpr const char* kTag = "udev";

}  // namespace

CUdevDeviceNotices::CUdevDeviceNotices(std::vector<std::string> subsystems)
    : m_subsystems(std::move(subsystems)) {}

CUdevDeviceNotices::~CUdevDeviceNotices() {
    Stop();
}

bool CUdevDeviceNotices::Start(CMessageTarget* pTarget) {
    m_pTarget = pTarget;
    if (m_loop.IsRunning()) {
        return true;
    }
    m_pUdev.reset(udev_new());
    if (m_pUdev) {
        m_pMonitor.reset(udev_monitor_new_from_netlink(m_pUdev.get(), "udev"));
    }
    bool bListening = m_pMonitor != nullptr;
    for (const std::string& strSubsystem : m_subsystems) {
        bListening = bListening && udev_monitor_filter_add_match_subsystem_devtype(
                                       m_pMonitor.get(), strSubsystem.c_str(), nullptr) >= 0;
    }
    if (!bListening || udev_monitor_enable_receiving(m_pMonitor.get()) < 0) {
        KestrelTrace(kTag, "cannot listen to udev; receivers are found at start only");
        Stop();
        return false;
    }
    udev_monitor* pMonitor = m_pMonitor.get();
    if (!m_loop.Start([this, pMonitor](CPollLoop& loop) { ThreadProc(loop, pMonitor); })) {
        KestrelTrace(kTag, "no thread for the udev monitor: %s", std::strerror(errno));
        Stop();
        return false;
    }
    return true;
}

void CUdevDeviceNotices::Stop() {
    m_pTarget = nullptr;
    m_loop.Stop();
    m_pMonitor.reset();
    m_pUdev.reset();
}

// The monitor is this thread's alone until Stop() has joined it.
void CUdevDeviceNotices::ThreadProc(CPollLoop& loop, udev_monitor* pMonitor) {
    pollfd fds[1] = {{udev_monitor_get_fd(pMonitor), POLLIN, 0}};
    for (;;) {
        const CPollLoop::EWake wake = loop.Wait(fds);
        if (wake == CPollLoop::EWake::Stopped) {
            return;
        }
        if (wake == CPollLoop::EWake::Failed) {
            KestrelTrace(kTag, "poll failed: %s", std::strerror(errno));
            return;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            KestrelTrace(kTag, "the udev monitor went away");
            return;
        }
        const UdevDevicePtr pDevice(udev_monitor_receive_device(pMonitor));
        if (!pDevice) {
            continue;  // a message udev itself could not parse
        }
        const char* pAction = udev_device_get_action(pDevice.get());
        const char* pNode = udev_device_get_devnode(pDevice.get());
        KestrelTrace(kTag, "%s %s", pAction ? pAction : "?", pNode ? pNode : "");
        if (CMessageTarget* pTarget = m_pTarget.load()) {
            pTarget->Post(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        }
    }
}
