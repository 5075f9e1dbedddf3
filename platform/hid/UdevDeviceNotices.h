#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/hid/DeviceNotices.h"
#include "platform/hid/UdevPtr.h"
#include "platform/posix/PollLoop.h"

// Device notices from udev: a monitor on the subsystems the receivers of the
// run need (hidraw; video4linux and sound; usb), read by a thread of its own.
// udev announces a node once its permissions are set, so the receiver can be
// opened as soon as the notice arrives. Start() fails (traced) where there is
// no udev to listen to.
class CUdevDeviceNotices : public CDeviceNotices {
public:
    explicit CUdevDeviceNotices(std::vector<std::string> subsystems = {"hidraw"});
    ~CUdevDeviceNotices() override;

    CUdevDeviceNotices(const CUdevDeviceNotices&) = delete;
    CUdevDeviceNotices& operator=(const CUdevDeviceNotices&) = delete;

    bool Start(CMessageTarget* pTarget) override;
    void Stop() override;

    const std::vector<std::string>& Subsystems() const { return m_subsystems; }

private:
    void ThreadProc(CPollLoop& loop, udev_monitor* pMonitor);

    const std::vector<std::string> m_subsystems;
    std::atomic<CMessageTarget*> m_pTarget{nullptr};
    UdevPtr m_pUdev;
    UdevMonitorPtr m_pMonitor;  // goes before the udev context it came from
    CPollLoop m_loop;           // goes first: its thread reads the monitor
};
