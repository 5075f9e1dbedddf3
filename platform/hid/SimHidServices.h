#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/hid/DeviceNotices.h"
#include "platform/hid/HidServices.h"
#include "platform/hid/SimHidControl.h"
#include "platform/posix/UniqueFd.h"

// HID services over simulated interfaces. An open handle is one end of a
// SOCK_SEQPACKET socket pair, so that report boundaries hold and the device
// link's read thread polls it as it polls a hidraw node. Adding, plugging and
// unplugging an interface are the device notices.
class CSimHidServices : public CHidServices, public CDeviceNotices, public CSimHidControl {
public:
    CSimHidServices() = default;
    ~CSimHidServices() override;

    std::vector<std::string> EnumerateInterfaces() override;
    std::unique_ptr<CHidHandle> Open(const std::string& path) override;

    bool Start(CMessageTarget* pTarget) override;
    void Stop() override;

    int AddInterface(const SSimHidInterface& description) override;
    void Plug(int nId) override;
    void Unplug(int nId) override;
    bool IsPlugged(int nId) const override;
    int OpenHandles(int nId) const override;
    std::string PathOf(int nId) const override;

private:
    struct SInterface {
        int nId;
        std::string strPath;
        SSimHidInterface description;
        bool bPlugged = true;
        std::shared_ptr<std::atomic<int>> pOpenHandles;
        std::vector<CUniqueFd> silentPeers;  // device ends of a silent device
    };

    SInterface* Find(int nId);
    const SInterface* Find(int nId) const;
    static void DropClosedPeers(SInterface& iface);
    static void Disconnect(SInterface& iface);
    // Under the lock, so that nothing is posted once Stop() has returned.
    void NotifyChange();

    mutable std::mutex m_mutex;
    std::vector<SInterface> m_interfaces;
    int m_nNextId = 0;
    CMessageTarget* m_pNoticeTarget = nullptr;
};
