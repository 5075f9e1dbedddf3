#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sdr/FmStereoSynth.h"
#include "platform/sdr/SdrDevice.h"

// A station on the simulated air, at its own frequency.
struct SSimSdrStation {
    double dHz = 0;
    CFmStereoSynth::SStation station;  // its offset is set from the centre tuned
};

// One simulated dongle as a test or the demo lays it out.
struct SSimSdrLayout {
    std::string strName = "Simulated RTL-SDR";
    std::string strSerial = "SIM-SDR";
    double dLowHz = 24e6;
    double dHighHz = 1766e6;
    // Direct sampling's range, as an RTL-SDR V3 has it; none: the dongle has not.
    double dDirectLowHz = 500e3;
    double dDirectHighHz = 28.8e6;
    // An upconverter ahead of the dongle: stations below 30 MHz appear this
    // much higher to its tuner (not to direct sampling).
    double dUpconverterHz = 0;
    double dNoise = 0.05;  // over the whole span
    std::vector<SSimSdrStation> stations;
};

// The simulated SDR back-end: dongles whose IQ is the stations within the
// span synthesized in real time, in 10 ms blocks, plus noise.
//
// Control contract: callable from any thread; dongle ids are never reused.
// An unplugged dongle's stream ends with a failure.
class CSimSdrServices : public CSdrServices {
public:
    CSimSdrServices();
    ~CSimSdrServices() override;

    std::vector<SSdrDeviceInfo> Enumerate() override;
    std::unique_ptr<CSdrDevice> Open(const SSdrDeviceInfo& device, double dSampleRate,
                                     std::string& strWhy) override;

    int AddDongle(const SSimSdrLayout& layout);
    void Plug(int nId);
    void Unplug(int nId);
    // Taken up at the next retune of an open dongle.
    void SetStations(int nId, std::vector<SSimSdrStation> stations);
    // The next block comes after nSamples the dongle dropped (an overflow).
    void Overflow(int nId, uint64_t nSamples);
    int OpenDevices(int nId) const;
    double CenterOf(int nId) const;

    // Stations across FM with RDS names and on medium wave, for the demo.
    static std::vector<SSimSdrStation> DemoStations();

private:
    class CDevice;
    struct SDongle;

    mutable std::mutex m_mutex;
    std::map<int, std::shared_ptr<SDongle>> m_dongles;
    int m_nNextId = 1;
};
