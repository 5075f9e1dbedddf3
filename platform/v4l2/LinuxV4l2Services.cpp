#include "platform/v4l2/LinuxV4l2Services.h"

#include <cerrno>

#include "platform/trace/Trace.h"
#include "platform/v4l2/LinuxV4l2Radio.h"

std::vector<SV4l2Device> CLinuxV4l2Services::Enumerate() {
    std::vector<SV4l2Device> devices;
    for (const std::string& strNode : m_sysfs.RadioNodes()) {
        SV4l2Device device;
        device.strNode = m_strDevRoot + "/" + strNode;
        std::string strWhy;
        int nError = 0;
        const std::unique_ptr<CLinuxV4l2Radio> pRadio =
            CLinuxV4l2Radio::Open(device.strNode, strWhy, &nError);
        // A radio the user may not open is still plugged in: the user hears why.
        if (nError == EACCES || nError == EPERM) {
            device.strName = m_sysfs.Name(strNode);
            device.strId = m_sysfs.UsbIdentity(strNode);
            device.strRefused = strWhy;
            devices.push_back(std::move(device));
            continue;
        }
        if (!pRadio) {
            KestrelTrace("v4l2", "left out: %s", strWhy.c_str());
            continue;
        }
        device.strName = pRadio->Caps().strCard;
        device.strId = m_sysfs.UsbIdentity(strNode);
        if (device.strId.empty()) {
            device.strId = "bus:" + pRadio->Caps().strBusInfo + ":" + pRadio->Caps().strCard;
        }
        device.strCaptureDevice = m_sysfs.CaptureDevice(strNode);
        devices.push_back(std::move(device));
    }
    return devices;
}

std::unique_ptr<CV4l2Radio> CLinuxV4l2Services::Open(const SV4l2Device& device,
                                                     std::string& strWhy) {
    return CLinuxV4l2Radio::Open(device.strNode, strWhy);
}
