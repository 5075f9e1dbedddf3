#pragma once

#include <atomic>
#include <thread>

#include "platform/hid/DeviceNotices.h"
#include "platform/hid/UdevPtr.h"
#include "platform/posix/UniqueFd.h"

// Device notices from udev: a monitor on the hidraw subsystem, read by a
// thread of its own. udev announces a node once its permissions are set, so
// the receiver can be opened as soon as the notice arrives. Start() fails
// (traced) where there is no udev to listen to.
class CUdevDeviceNotices : public CDeviceNotices {
public:
    CUdevDeviceNotices();
    ~CUdevDeviceNotices() override;

    CUdevDeviceNotices(const CUdevDeviceNotices&) = delete;
    CUdevDeviceNotices& operator=(const CUdevDeviceNotices&) = delete;

    bool Start(CMessageTarget* pTarget) override;
    void Stop() override;

private:
    void ThreadProc(udev_monitor* pMonitor);

    std::atomic<CMessageTarget*> m_pTarget{nullptr};
    CUniqueFd m_stop;  // eventfd that ends the thread
    UdevPtr m_pUdev;
    UdevMonitorPtr m_pMonitor;  // goes before the udev context it came from
    std::thread m_thread;
};
