#pragma once

#include <atomic>
#include <memory>

#include "platform/hid/HidServices.h"
#include "platform/hid/SimHidEndpoint.h"
#include "platform/posix/UniqueFd.h"

// The host's end of one connection to a simulated interface.
class CSimHidHandle : public CHidHandle {
public:
    CSimHidHandle(CUniqueFd fd, SHidAttributes attributes, SHidCaps caps,
                  std::shared_ptr<CSimHidEndpoint> pEndpoint,
                  std::shared_ptr<std::atomic<int>> pOpenHandles);
    ~CSimHidHandle() override;

    bool GetAttributes(SHidAttributes& attributes) override;
    bool GetCaps(SHidCaps& caps) override;
    int PollFd() const override { return m_fd.Get(); }
    long Read(uint8_t* report, size_t length) override;
    bool Write(const uint8_t* report, size_t length) override;

private:
    CUniqueFd m_fd;
    SHidAttributes m_attributes;
    SHidCaps m_caps;
    std::shared_ptr<CSimHidEndpoint> m_pEndpoint;
    std::shared_ptr<std::atomic<int>> m_pOpenHandles;
};
