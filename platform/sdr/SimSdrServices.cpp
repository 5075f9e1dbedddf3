#include "platform/sdr/SimSdrServices.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/StreamThread.h"

struct CSimSdrServices::SDongle {
    SSimSdrLayout layout;
    std::mutex mutex;
    bool bPlugged = true;
    int nOpen = 0;
    double dCenter = 0;
    bool bDirect = false;
    uint64_t nDropped = 0;  // before the next block

    bool Reaches(double dHz) const {
        return bDirect ? dHz >= layout.dDirectLowHz && dHz <= layout.dDirectHighHz
                       : dHz >= layout.dLowHz && dHz <= layout.dHighHz;
    }
};

class CSimSdrServices::CDevice : public CSdrDevice {
public:
    CDevice(std::shared_ptr<SDongle> pDongle, SSdrDeviceInfo info, double dRate)
        : m_pDongle(std::move(pDongle)), m_info(std::move(info)), m_dRate(dRate) {
        std::lock_guard lock(m_pDongle->mutex);
        ++m_pDongle->nOpen;
    }
    ~CDevice() override {
        Stop();
        std::lock_guard lock(m_pDongle->mutex);
        --m_pDongle->nOpen;
    }

    const SSdrDeviceInfo& Info() const override { return m_info; }
    double SampleRate() const override { return m_dRate; }
    std::vector<std::pair<double, double>> Ranges() const override {
        return {{m_pDongle->layout.dLowHz, m_pDongle->layout.dHighHz}};
    }
    std::vector<std::pair<double, double>> DirectRanges() const override {
        if (m_pDongle->layout.dDirectHighHz <= m_pDongle->layout.dDirectLowHz) {
            return {};
        }
        return {{m_pDongle->layout.dDirectLowHz, m_pDongle->layout.dDirectHighHz}};
    }
    bool SetDirectSampling(bool bOn, std::string& strWhy) override {
        if (bOn && DirectRanges().empty()) {
            return CSdrDevice::SetDirectSampling(bOn, strWhy);
        }
        std::lock_guard lock(m_pDongle->mutex);
        m_pDongle->bDirect = bOn;
        m_bRetuned = true;
        return true;
    }
    bool SetCenter(double dHz, std::string& strWhy) override {
        std::lock_guard lock(m_pDongle->mutex);
        if (!m_pDongle->bPlugged) {
            strWhy = "the dongle was unplugged";
            return false;
        }
        if (!m_pDongle->Reaches(dHz)) {
            strWhy =
                "the dongle does not reach " + std::to_string(std::lround(dHz / 1000)) + " kHz";
            return false;
        }
        m_pDongle->dCenter = dHz;
        m_bRetuned = true;
        return true;
    }
    double Center() const override {
        std::lock_guard lock(m_pDongle->mutex);
        return m_pDongle->dCenter;
    }
    bool SetGain(std::optional<double>, std::string&) override { return true; }
    bool SetCorrection(double, std::string&) override { return true; }

    bool Start(IqHandler onIq, FailureHandler onFailure, std::string& strWhy) override {
        Stop();
        {
            std::lock_guard lock(m_pDongle->mutex);
            if (!m_pDongle->bPlugged) {
                strWhy = "the dongle was unplugged";
                return false;
            }
        }
        m_bRetuned = true;
        m_stream.Start([this, onIq = std::move(onIq), onFailure = std::move(onFailure)] {
            Run(onIq, onFailure);
        });
        return true;
    }
    void Stop() override { m_stream.Stop(); }

private:
    // The stations within the span, at their offsets from the centre.
    std::unique_ptr<CFmStereoSynth> Air() {
        std::lock_guard lock(m_pDongle->mutex);
        std::vector<CFmStereoSynth::SStation> stations;
        for (const SSimSdrStation& station : m_pDongle->layout.stations) {
            const double dHz = station.dHz < 30e6 && !m_pDongle->bDirect
                                   ? station.dHz + m_pDongle->layout.dUpconverterHz
                                   : station.dHz;
            const double dOffset = dHz - m_pDongle->dCenter;
            if (std::abs(dOffset) < m_dRate / 2 - 100'000 && m_pDongle->Reaches(dHz)) {
                stations.push_back(station.station);
                stations.back().dOffsetHz = dOffset;
            }
        }
        return std::make_unique<CFmStereoSynth>(m_dRate, std::move(stations),
                                                m_pDongle->layout.dNoise);
    }

    void Run(const IqHandler& onIq, const FailureHandler& onFailure) {
        const auto period = std::chrono::milliseconds(10);
        const size_t nBlock = static_cast<size_t>(m_dRate / 100);
        std::unique_ptr<CFmStereoSynth> pAir;
        std::vector<std::complex<float>> block;
        auto next = std::chrono::steady_clock::now();
        while (!m_stream.Stopping()) {
            {
                std::lock_guard lock(m_pDongle->mutex);
                if (!m_pDongle->bPlugged) {
                    break;
                }
            }
            if (m_bRetuned.exchange(false) || !pAir) {
                pAir = Air();
            }
            pAir->Generate(block, nBlock);
            uint64_t nLost = 0;
            {
                std::lock_guard lock(m_pDongle->mutex);
                nLost = std::exchange(m_pDongle->nDropped, 0);
            }
            onIq(block, nLost);
            next += period;
            std::this_thread::sleep_until(next);
        }
        if (!m_stream.Stopping()) {
            onFailure("the dongle was unplugged");
        }
    }

    std::shared_ptr<SDongle> m_pDongle;
    SSdrDeviceInfo m_info;
    double m_dRate;
    std::atomic<bool> m_bRetuned{true};
    CStreamThread m_stream;
};

CSimSdrServices::CSimSdrServices() = default;
CSimSdrServices::~CSimSdrServices() = default;

std::vector<SSdrDeviceInfo> CSimSdrServices::Enumerate() {
    std::lock_guard lock(m_mutex);
    std::vector<SSdrDeviceInfo> devices;
    for (const auto& [nId, pDongle] : m_dongles) {
        std::lock_guard dongleLock(pDongle->mutex);
        if (!pDongle->bPlugged) {
            continue;
        }
        SSdrDeviceInfo device;
        device.strDriver = "sim";
        device.strSerial = pDongle->layout.strSerial;
        device.strName = pDongle->layout.strName;
        device.strId = "sim:" + device.strSerial;
        devices.push_back(std::move(device));
    }
    return devices;
}

std::unique_ptr<CSdrDevice> CSimSdrServices::Open(const SSdrDeviceInfo& device, double dSampleRate,
                                                  std::string& strWhy) {
    std::shared_ptr<SDongle> pFound;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [nId, pDongle] : m_dongles) {
            std::lock_guard dongleLock(pDongle->mutex);
            if (pDongle->bPlugged && "sim:" + pDongle->layout.strSerial == device.strId) {
                pFound = pDongle;
            }
        }
    }
    if (!pFound) {
        strWhy = device.strId + ": no such dongle";
        return nullptr;
    }
    return std::make_unique<CDevice>(pFound, device, dSampleRate);
}

int CSimSdrServices::AddDongle(const SSimSdrLayout& layout) {
    auto pDongle = std::make_shared<SDongle>();
    pDongle->layout = layout;
    pDongle->dCenter = 100e6;
    std::lock_guard lock(m_mutex);
    m_dongles[m_nNextId] = pDongle;
    return m_nNextId++;
}

void CSimSdrServices::Plug(int nId) {
    std::lock_guard lock(m_mutex);
    std::lock_guard dongleLock(m_dongles.at(nId)->mutex);
    m_dongles.at(nId)->bPlugged = true;
}

void CSimSdrServices::Unplug(int nId) {
    std::lock_guard lock(m_mutex);
    std::lock_guard dongleLock(m_dongles.at(nId)->mutex);
    m_dongles.at(nId)->bPlugged = false;
}

void CSimSdrServices::SetStations(int nId, std::vector<SSimSdrStation> stations) {
    std::lock_guard lock(m_mutex);
    std::lock_guard dongleLock(m_dongles.at(nId)->mutex);
    m_dongles.at(nId)->layout.stations = std::move(stations);
}

void CSimSdrServices::Overflow(int nId, uint64_t nSamples) {
    std::lock_guard lock(m_mutex);
    std::lock_guard dongleLock(m_dongles.at(nId)->mutex);
    m_dongles.at(nId)->nDropped += nSamples;
}

int CSimSdrServices::OpenDevices(int nId) const {
    std::lock_guard lock(m_mutex);
    std::lock_guard dongleLock(m_dongles.at(nId)->mutex);
    return m_dongles.at(nId)->nOpen;
}

double CSimSdrServices::CenterOf(int nId) const {
    std::lock_guard lock(m_mutex);
    std::lock_guard dongleLock(m_dongles.at(nId)->mutex);
    return m_dongles.at(nId)->dCenter;
}

std::vector<SSimSdrStation> CSimSdrServices::DemoStations() {
    const auto station = [](double dHz, uint16_t nPi, const char* pName, const char* pText,
                            double dLeftHz, double dRightHz) {
        SSimSdrStation s;
        s.dHz = dHz;
        s.station.left = {{dLeftHz, 0.3}};
        s.station.right = {{dRightHz, 0.3}};
        if (pName[0] != '\0') {
            CRdsEncoder::SStation rds;
            rds.nPi = nPi;
            rds.strName = pName;
            rds.strText = pText;
            s.station.rds = CRdsEncoder(rds).Cycle();
        }
        return s;
    };
    // On the 9 kHz raster, which the Americas' 10 kHz one does not share.
    const auto medium = [](double dHz, double dToneHz) {
        SSimSdrStation s;
        s.dHz = dHz;
        s.station.bAm = true;
        s.station.left = {{dToneHz, 0.4}};
        return s;
    };
    return {
        station(88.1e6, 0xC201, "KESTREL", "Kestrel demo: RDS from the simulated dongle", 440, 660),
        station(94.7e6, 0xC202, "JAZZ FM", "Night flight: ambient until dawn", 523, 784),
        station(101.1e6, 0, "", "", 330, 330),
        station(104.3e6, 0xC204, "CLASSIC", "Evening concert", 392, 587),
        medium(594e3, 440),
        medium(954e3, 523),
        medium(1134e3, 660),
    };
}
