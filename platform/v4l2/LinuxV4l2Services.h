#pragma once

#include "platform/v4l2/V4l2Services.h"
#include "platform/v4l2/V4l2Sysfs.h"

// The kernel's radio receivers: the nodes sysfs lists, asked what they are.
class CLinuxV4l2Services : public CV4l2Services {
public:
    explicit CLinuxV4l2Services(std::string strSysfsRoot = "/sys", std::string strDevRoot = "/dev")
        : m_sysfs(std::move(strSysfsRoot)), m_strDevRoot(std::move(strDevRoot)) {}

    std::vector<SV4l2Device> Enumerate() override;
    std::unique_ptr<CV4l2Radio> Open(const SV4l2Device& device, std::string& strWhy) override;

private:
    CV4l2Sysfs m_sysfs;
    std::string m_strDevRoot;
};
