#include "platform/v4l2/SimV4l2Services.h"

#include <stdexcept>

#include "platform/v4l2/SimV4l2Radio.h"

std::shared_ptr<SSimV4l2State> CSimV4l2Services::State(int nId) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_radios.find(nId);
    if (it == m_radios.end()) {
        throw std::out_of_range("no simulated V4L2 radio " + std::to_string(nId));
    }
    return it->second;
}

std::vector<SV4l2Device> CSimV4l2Services::Enumerate() {
    std::lock_guard lock(m_mutex);
    std::vector<SV4l2Device> devices;
    for (const auto& [nId, pState] : m_radios) {
        std::lock_guard stateLock(pState->mutex);
        if (!pState->bPlugged) {
            continue;
        }
        SV4l2Device device;
        device.strNode = "/dev/radio" + std::to_string(m_nodes.at(nId));
        device.strName = pState->layout.strName;
        device.strId = pState->layout.strId;
        device.strCaptureDevice = pState->layout.strCaptureDevice;
        if (!pState->layout.bAccessible) {
            device.strRefused = device.strNode + ": Permission denied";
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

std::unique_ptr<CV4l2Radio> CSimV4l2Services::Open(const SV4l2Device& device, std::string& strWhy) {
    std::shared_ptr<SSimV4l2State> pFound;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [nId, pState] : m_radios) {
            if ("/dev/radio" + std::to_string(m_nodes.at(nId)) == device.strNode) {
                pFound = pState;
            }
        }
    }
    if (!pFound) {
        strWhy = device.strNode + ": No such file or directory";
        return nullptr;
    }
    {
        std::lock_guard lock(pFound->mutex);
        EV4l2Status eStatus =
            pFound->bPlugged ? pFound->TakeFailure(ECall::Open) : EV4l2Status::Gone;
        if (eStatus == EV4l2Status::Ok && !pFound->layout.bAccessible) {
            eStatus = EV4l2Status::Failed;
        }
        if (eStatus != EV4l2Status::Ok) {
            strWhy = device.strNode + (eStatus == EV4l2Status::Busy   ? ": Device or resource busy"
                                       : eStatus == EV4l2Status::Gone ? ": No such device"
                                                                      : ": Permission denied");
            return nullptr;
        }
    }
    return std::make_unique<CSimV4l2Radio>(pFound);
}

int CSimV4l2Services::AddRadio(const SSimV4l2Layout& layout) {
    auto pState = std::make_shared<SSimV4l2State>();
    pState->layout = layout;
    pState->nTunedHz = layout.bands.empty() ? 0 : layout.bands.front().nLowHz;
    std::lock_guard lock(m_mutex);
    const int nId = m_nNextId++;
    m_radios[nId] = pState;
    m_nodes[nId] = m_nNextNode++;
    return nId;
}

void CSimV4l2Services::Plug(int nId) {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    {
        std::lock_guard lock(m_mutex);
        m_nodes[nId] = m_nNextNode++;
    }
    std::lock_guard lock(pState->mutex);
    pState->bPlugged = true;
}

void CSimV4l2Services::Unplug(int nId) {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    pState->bPlugged = false;
}

bool CSimV4l2Services::IsPlugged(int nId) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    return pState->bPlugged;
}

void CSimV4l2Services::SetStations(int nId, std::vector<SSimV4l2Station> stations) {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    pState->layout.stations = std::move(stations);
}

void CSimV4l2Services::FailNext(int nId, ECall eCall, EV4l2Status eStatus, int nTimes) {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    pState->failures[eCall] = {eStatus, nTimes};
}

uint32_t CSimV4l2Services::TunedHz(int nId) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    return pState->nTunedHz;
}

bool CSimV4l2Services::IsMuted(int nId) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    return pState->bMuted;
}

int CSimV4l2Services::Volume(int nId) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    return pState->nVolume;
}

int CSimV4l2Services::OpenHandles(int nId) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    return pState->nOpenHandles;
}

int CSimV4l2Services::SeeksStarted(int nId) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    return pState->nSeeksStarted;
}

double CSimV4l2Services::AudibleStrength(int nId, int& nStation) const {
    const std::shared_ptr<SSimV4l2State> pState = State(nId);
    std::lock_guard lock(pState->mutex);
    nStation = -1;
    if (!pState->bPlugged || pState->bMuted) {
        return 0;
    }
    uint32_t nOffHz = 0;
    const SSimV4l2Station* pStation = pState->Nearest(pState->nTunedHz, nOffHz);
    const SV4l2Signal signal = pState->SignalAt(pState->nTunedHz);
    if (!pStation || signal.nStrength == 0) {
        return 0;
    }
    nStation = static_cast<int>(pStation - pState->layout.stations.data());
    return signal.nStrength / 65535.0;
}

std::vector<SSimV4l2Station> CSimV4l2Services::DemoStations() {
    const auto station = [](uint32_t nHz, uint16_t nPi, const char* pName, const char* pText) {
        SSimV4l2Station s;
        s.nHz = nHz;
        s.rds.nPi = nPi;
        s.rds.nPty = 10;
        s.rds.strName = pName;
        s.rds.strText = pText;
        s.bRds = pName[0] != '\0';
        return s;
    };
    return {
        station(81'300'000, 0xD301, "J-WAVE", "Tokyo's music station"),
        station(88'100'000, 0xC201, "KESTREL", "Kestrel demo: RDS from the simulated radio"),
        station(94'700'000, 0xC202, "JAZZ FM", "Night flight: ambient until dawn"),
        station(101'100'000, 0xC203, "", ""),
        station(594'000, 0, "", ""),
        station(1'134'000, 0, "", ""),
    };
}
