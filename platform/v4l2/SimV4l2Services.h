#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "platform/v4l2/SimV4l2Control.h"
#include "platform/v4l2/SimV4l2State.h"
#include "platform/v4l2/V4l2Services.h"

// The simulated V4L2 back-end: radios laid out by a test or the demo, each
// with its stations and their RDS.
class CSimV4l2Services : public CV4l2Services, public CSimV4l2Control {
public:
    std::vector<SV4l2Device> Enumerate() override;
    std::unique_ptr<CV4l2Radio> Open(const SV4l2Device& device, std::string& strWhy) override;

    int AddRadio(const SSimV4l2Layout& layout) override;
    void Plug(int nId) override;
    void Unplug(int nId) override;
    bool IsPlugged(int nId) const override;
    void SetStations(int nId, std::vector<SSimV4l2Station> stations) override;
    void FailNext(int nId, ECall eCall, EV4l2Status eStatus, int nTimes = 1) override;
    uint32_t TunedHz(int nId) const override;
    bool IsMuted(int nId) const override;
    int Volume(int nId) const override;
    int OpenHandles(int nId) const override;
    int SeeksStarted(int nId) const override;
    double AudibleStrength(int nId, int& nStation) const override;

    // The stations vivid's radio has near its band edges and in between,
    // with RDS names like the demo's.
    static std::vector<SSimV4l2Station> DemoStations();

private:
    std::shared_ptr<SSimV4l2State> State(int nId) const;

    mutable std::mutex m_mutex;
    std::map<int, std::shared_ptr<SSimV4l2State>> m_radios;
    int m_nNextId = 1;
    int m_nNextNode = 0;
    std::map<int, int> m_nodes;  // radio id -> N of /dev/radioN, new at each plug
};
