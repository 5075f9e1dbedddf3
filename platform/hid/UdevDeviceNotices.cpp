#include "platform/hid/UdevDeviceNotices.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstring>

#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

namespace {

constexpr const char* kTag = "udev";

}  // namespace

CUdevDeviceNotices::CUdevDeviceNotices() : m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CUdevDeviceNotices::~CUdevDeviceNotices() {
    Stop();
}

bool CUdevDeviceNotices::Start(CMessageTarget* pTarget) {
    m_pTarget = pTarget;
    if (m_thread.joinable()) {
        return true;
    }
    if (!m_stop.IsValid()) {
        KestrelTrace(kTag, "no stop event: %s", std::strerror(errno));
        return false;
    }
    m_pUdev.reset(udev_new());
    if (m_pUdev) {
        m_pMonitor.reset(udev_monitor_new_from_netlink(m_pUdev.get(), "udev"));
    }
    if (!m_pMonitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_pMonitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_pMonitor.get()) < 0) {
        KestrelTrace(kTag, "cannot listen to udev; receivers are found at start only");
        Stop();
        return false;
    }
    m_thread = std::thread(&CUdevDeviceNotices::ThreadProc, this, m_pMonitor.get());
    return true;
}

void CUdevDeviceNotices::Stop() {
    m_pTarget = nullptr;
    if (m_thread.joinable()) {
        ::eventfd_write(m_stop.Get(), 1);
        m_thread.join();
        eventfd_t value = 0;
        ::eventfd_read(m_stop.Get(), &value);
    }
    m_pMonitor.reset();
    m_pUdev.reset();
}

// The monitor is this thread's alone until Stop() has joined it.
void CUdevDeviceNotices::ThreadProc(udev_monitor* pMonitor) {
    pollfd fds[2] = {{m_stop.Get(), POLLIN, 0}, {udev_monitor_get_fd(pMonitor), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            KestrelTrace(kTag, "poll failed: %s", std::strerror(errno));
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        if ((fds[1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
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
