#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "platform/mixer/MixerServices.h"
#include "platform/mixer/SimMixerControl.h"

// The in-memory mixer: devices, lines and controls as a test lays them out,
// values kept here, and MM_MIXM_CONTROL_CHANGE posted to every open handle
// with a notify target on the device whenever a value really changes, whoever
// changed it.
class CSimMixerServices : public CMixerServices, public CSimMixerControl {
public:
    CSimMixerServices() = default;
    CSimMixerServices(const CSimMixerServices&) = delete;
    CSimMixerServices& operator=(const CSimMixerServices&) = delete;

    // CMixerServices
    uint32_t GetNumDevs() override;
    bool GetDevCaps(int nDeviceID, SMixerCaps& caps) override;
    std::unique_ptr<CMixerHandle> Open(int nDeviceID, CMessageTarget* pNotify) override;

    // CSimMixerControl
    int AddDevice(const std::string& strProductName) override;
    uint32_t AddDestination(int nDeviceID, uint32_t nComponentType, const std::string& strName,
                            uint32_t nChannels) override;
    uint32_t AddSource(uint32_t nDestinationLineID, uint32_t nComponentType,
                       const std::string& strName, uint32_t nChannels) override;
    uint32_t AddControl(uint32_t nLineID, uint32_t nControlType, uint32_t nFlags,
                        uint32_t nMultipleItems) override;
    void SetCapsReadable(int nDeviceID, bool bReadable) override;
    std::vector<uint32_t> Values(uint32_t nControlID) const override;
    bool SetValues(uint32_t nControlID, const std::vector<uint32_t>& values) override;
    int OpenHandles(int nDeviceID) const override;

private:
    friend class CSimMixerHandle;

    struct SLine {
        SMixerLine line;
        int nDeviceID = 0;
        std::vector<uint32_t> sources;   // line ids, for a destination
        std::vector<uint32_t> controls;  // control ids
    };
    struct SControl {
        SMixerControl control;
        int nDeviceID = 0;
        uint32_t nChannels = 1;  // channels stored: 1 for a uniform control
        uint32_t nPerChannel = 1;
        std::vector<uint32_t> values;
    };
    struct SDevice {
        std::string strProductName;
        bool bReadable = true;
        std::vector<uint32_t> destinations;  // line ids
    };
    struct SOpen {
        const void* pHandle;
        int nDeviceID;
        CMessageTarget* pNotify;
    };

    // The handle's side; each takes the lock.
    void Register(const void* pHandle, int nDeviceID, CMessageTarget* pNotify);
    void Unregister(const void* pHandle);
    bool HandleCaps(int nDeviceID, SMixerCaps& caps);
    bool HandleLine(int nDeviceID, SMixerLine& line, bool bSource);
    bool HandleControl(int nDeviceID, uint32_t nLineID, uint32_t nControlType,
                       SMixerControl& control);
    bool HandleGet(int nDeviceID, SMixerControlDetails& details);
    bool HandleSet(int nDeviceID, const SMixerControlDetails& details);

    SControl* FindControl(int nDeviceID, uint32_t nControlID);
    // Stores new values; posts the notices when something changed.
    void Store(SControl& control, std::vector<uint32_t> values);

    mutable std::mutex m_mutex;
    std::vector<SDevice> m_devices;
    std::map<uint32_t, SLine> m_lines;
    std::map<uint32_t, SControl> m_controls;
    std::vector<SOpen> m_open;
    uint32_t m_nNextLineID = 1;
    uint32_t m_nNextControlID = 1;
};
