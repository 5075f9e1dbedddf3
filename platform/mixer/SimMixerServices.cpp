#include "platform/mixer/SimMixerServices.h"

#include <algorithm>

#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

class CSimMixerHandle : public CMixerHandle {
public:
    CSimMixerHandle(CSimMixerServices& services, int nDeviceID, CMessageTarget* pNotify)
        : m_services(services), m_nDeviceID(nDeviceID) {
        m_services.Register(this, nDeviceID, pNotify);
    }
    ~CSimMixerHandle() override { m_services.Unregister(this); }

    CSimMixerHandle(const CSimMixerHandle&) = delete;
    CSimMixerHandle& operator=(const CSimMixerHandle&) = delete;

    bool GetDevCaps(SMixerCaps& caps) override { return m_services.HandleCaps(m_nDeviceID, caps); }
    bool GetLineInfoDestination(SMixerLine& line) override {
        return m_services.HandleLine(m_nDeviceID, line, false);
    }
    bool GetLineInfoSource(SMixerLine& line) override {
        return m_services.HandleLine(m_nDeviceID, line, true);
    }
    bool GetLineControlByType(uint32_t nLineID, uint32_t nControlType,
                              SMixerControl& control) override {
        return m_services.HandleControl(m_nDeviceID, nLineID, nControlType, control);
    }
    bool GetControlDetails(SMixerControlDetails& details) override {
        return m_services.HandleGet(m_nDeviceID, details);
    }
    bool SetControlDetails(const SMixerControlDetails& details) override {
        return m_services.HandleSet(m_nDeviceID, details);
    }

private:
    CSimMixerServices& m_services;
    int m_nDeviceID;
};

uint32_t CSimMixerServices::GetNumDevs() {
    std::lock_guard lock(m_mutex);
    return static_cast<uint32_t>(m_devices.size());
}

bool CSimMixerServices::GetDevCaps(int nDeviceID, SMixerCaps& caps) {
    return HandleCaps(nDeviceID, caps);
}

std::unique_ptr<CMixerHandle> CSimMixerServices::Open(int nDeviceID, CMessageTarget* pNotify) {
    {
        std::lock_guard lock(m_mutex);
        if (nDeviceID < 0 || static_cast<size_t>(nDeviceID) >= m_devices.size()) {
            return nullptr;
        }
    }
    return std::make_unique<CSimMixerHandle>(*this, nDeviceID, pNotify);
}

int CSimMixerServices::AddDevice(const std::string& strProductName) {
    std::lock_guard lock(m_mutex);
    m_devices.push_back({strProductName, true, {}});
    return static_cast<int>(m_devices.size()) - 1;
}

uint32_t CSimMixerServices::AddDestination(int nDeviceID, uint32_t nComponentType,
                                           const std::string& strName, uint32_t nChannels) {
    std::lock_guard lock(m_mutex);
    if (nDeviceID < 0 || static_cast<size_t>(nDeviceID) >= m_devices.size()) {
        return 0;
    }
    SDevice& device = m_devices[static_cast<size_t>(nDeviceID)];
    SLine line;
    line.nDeviceID = nDeviceID;
    line.line.nDestination = static_cast<uint32_t>(device.destinations.size());
    line.line.nLineID = m_nNextLineID++;
    line.line.nComponentType = nComponentType;
    line.line.nChannels = nChannels;
    line.line.strName = strName;
    line.line.strShortName = strName;
    device.destinations.push_back(line.line.nLineID);
    const uint32_t id = line.line.nLineID;
    m_lines.emplace(id, std::move(line));
    return id;
}

uint32_t CSimMixerServices::AddSource(uint32_t nDestinationLineID, uint32_t nComponentType,
                                      const std::string& strName, uint32_t nChannels) {
    std::lock_guard lock(m_mutex);
    auto destination = m_lines.find(nDestinationLineID);
    if (destination == m_lines.end() ||
        destination->second.line.nComponentType >= MIXERLINE_COMPONENTTYPE_SRC_FIRST) {
        return 0;
    }
    SLine& dst = destination->second;
    SLine line;
    line.nDeviceID = dst.nDeviceID;
    line.line.nDestination = dst.line.nDestination;
    line.line.nSource = static_cast<uint32_t>(dst.sources.size());
    line.line.nLineID = m_nNextLineID++;
    line.line.nComponentType = nComponentType;
    line.line.nChannels = nChannels;
    line.line.strName = strName;
    line.line.strShortName = strName;
    dst.sources.push_back(line.line.nLineID);
    dst.line.nConnections = static_cast<uint32_t>(dst.sources.size());
    const uint32_t id = line.line.nLineID;
    m_lines.emplace(id, std::move(line));
    return id;
}

uint32_t CSimMixerServices::AddControl(uint32_t nLineID, uint32_t nControlType, uint32_t nFlags,
                                       uint32_t nMultipleItems) {
    std::lock_guard lock(m_mutex);
    auto line = m_lines.find(nLineID);
    if (line == m_lines.end()) {
        return 0;
    }
    SControl control;
    control.nDeviceID = line->second.nDeviceID;
    control.control.nControlID = m_nNextControlID++;
    control.control.nControlType = nControlType;
    control.control.nControlFlags = nFlags;
    control.control.nMultipleItems = nMultipleItems;
    control.control.strName = line->second.line.strName;
    control.control.strShortName = line->second.line.strShortName;
    control.nChannels = (nFlags & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : line->second.line.nChannels;
    control.nPerChannel =
        (nFlags & MIXERCONTROL_CONTROLF_MULTIPLE) ? std::max<uint32_t>(nMultipleItems, 1) : 1;
    control.values.assign(static_cast<size_t>(control.nChannels) * control.nPerChannel, 0);
    line->second.controls.push_back(control.control.nControlID);
    line->second.line.nControls = static_cast<uint32_t>(line->second.controls.size());
    const uint32_t id = control.control.nControlID;
    m_controls.emplace(id, std::move(control));
    return id;
}

void CSimMixerServices::SetCapsReadable(int nDeviceID, bool bReadable) {
    std::lock_guard lock(m_mutex);
    if (nDeviceID >= 0 && static_cast<size_t>(nDeviceID) < m_devices.size()) {
        m_devices[static_cast<size_t>(nDeviceID)].bReadable = bReadable;
    }
}

std::vector<uint32_t> CSimMixerServices::Values(uint32_t nControlID) const {
    std::lock_guard lock(m_mutex);
    auto control = m_controls.find(nControlID);
    return control == m_controls.end() ? std::vector<uint32_t>{} : control->second.values;
}

bool CSimMixerServices::SetValues(uint32_t nControlID, const std::vector<uint32_t>& values) {
    std::lock_guard lock(m_mutex);
    auto control = m_controls.find(nControlID);
    if (control == m_controls.end() || values.size() != control->second.values.size()) {
        return false;
    }
    Store(control->second, values);
    return true;
}

int CSimMixerServices::OpenHandles(int nDeviceID) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count_if(m_open.begin(), m_open.end(), [&](const SOpen& open) {
        return open.nDeviceID == nDeviceID;
    }));
}

void CSimMixerServices::Register(const void* pHandle, int nDeviceID, CMessageTarget* pNotify) {
    std::lock_guard lock(m_mutex);
    m_open.push_back({pHandle, nDeviceID, pNotify});
}

void CSimMixerServices::Unregister(const void* pHandle) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_open, [&](const SOpen& open) { return open.pHandle == pHandle; });
}

bool CSimMixerServices::HandleCaps(int nDeviceID, SMixerCaps& caps) {
    std::lock_guard lock(m_mutex);
    if (nDeviceID < 0 || static_cast<size_t>(nDeviceID) >= m_devices.size()) {
        return false;
    }
    const SDevice& device = m_devices[static_cast<size_t>(nDeviceID)];
    if (!device.bReadable) {
        return false;
    }
    caps.strProductName = device.strProductName;
    caps.nDestinations = static_cast<uint32_t>(device.destinations.size());
    return true;
}

bool CSimMixerServices::HandleLine(int nDeviceID, SMixerLine& line, bool bSource) {
    std::lock_guard lock(m_mutex);
    const SDevice& device = m_devices[static_cast<size_t>(nDeviceID)];
    if (line.nDestination >= device.destinations.size()) {
        return false;
    }
    const SLine& destination = m_lines.at(device.destinations[line.nDestination]);
    if (!bSource) {
        line = destination.line;
        return true;
    }
    if (line.nSource >= destination.sources.size()) {
        return false;
    }
    line = m_lines.at(destination.sources[line.nSource]).line;
    return true;
}

bool CSimMixerServices::HandleControl(int nDeviceID, uint32_t nLineID, uint32_t nControlType,
                                      SMixerControl& control) {
    std::lock_guard lock(m_mutex);
    auto line = m_lines.find(nLineID);
    if (line == m_lines.end() || line->second.nDeviceID != nDeviceID) {
        return false;
    }
    for (uint32_t id : line->second.controls) {
        const SControl& candidate = m_controls.at(id);
        if (candidate.control.nControlType == nControlType) {
            control = candidate.control;
            return true;
        }
    }
    return false;
}

CSimMixerServices::SControl* CSimMixerServices::FindControl(int nDeviceID, uint32_t nControlID) {
    auto control = m_controls.find(nControlID);
    if (control == m_controls.end() || control->second.nDeviceID != nDeviceID) {
        return nullptr;
    }
    return &control->second;
}

namespace {

// The transfer's shape: one channel, or every channel the control stores;
// the item count of a multiple control, or 0.
bool Fits(const SMixerControlDetails& details, uint32_t nChannels, uint32_t nPerChannel,
          uint32_t nFlags) {
    const uint32_t items = (nFlags & MIXERCONTROL_CONTROLF_MULTIPLE) ? nPerChannel : 0;
    if (details.nMultipleItems != items) {
        return false;
    }
    if (details.nChannels != 1 && details.nChannels != nChannels) {
        return false;
    }
    return details.values.size() >= static_cast<size_t>(details.nChannels) * nPerChannel;
}

}  // namespace

bool CSimMixerServices::HandleGet(int nDeviceID, SMixerControlDetails& details) {
    std::lock_guard lock(m_mutex);
    SControl* control = FindControl(nDeviceID, details.nControlID);
    if (!control || control->nChannels == 0 ||
        !Fits(details, control->nChannels, control->nPerChannel, control->control.nControlFlags)) {
        return false;
    }
    const size_t count = static_cast<size_t>(details.nChannels) * control->nPerChannel;
    std::copy_n(control->values.begin(), count, details.values.begin());
    return true;
}

bool CSimMixerServices::HandleSet(int nDeviceID, const SMixerControlDetails& details) {
    std::lock_guard lock(m_mutex);
    SControl* control = FindControl(nDeviceID, details.nControlID);
    if (!control || control->nChannels == 0 ||
        !Fits(details, control->nChannels, control->nPerChannel, control->control.nControlFlags)) {
        return false;
    }
    std::vector<uint32_t> values = control->values;
    const size_t perChannel = control->nPerChannel;
    for (size_t ch = 0; ch < control->nChannels; ++ch) {
        // One channel given: every channel alike.
        const size_t from = details.nChannels == 1 ? 0 : ch;
        std::copy_n(details.values.begin() + static_cast<std::ptrdiff_t>(from * perChannel),
                    perChannel, values.begin() + static_cast<std::ptrdiff_t>(ch * perChannel));
    }
    Store(*control, std::move(values));
    return true;
}

// Posting under the lock keeps a handle from closing, and its window from
// going, between the change and its notice; Post only queues.
void CSimMixerServices::Store(SControl& control, std::vector<uint32_t> values) {
    if (values == control.values) {
        return;
    }
    control.values = std::move(values);
    for (const SOpen& open : m_open) {
        if (open.nDeviceID == control.nDeviceID && open.pNotify) {
            open.pNotify->Post(MM_MIXM_CONTROL_CHANGE, static_cast<uintptr_t>(control.nDeviceID),
                               static_cast<intptr_t>(control.control.nControlID));
        }
    }
}
