#pragma once

#include "platform/sdr/SdrDevice.h"

// A dongle whose IQ its owner hands over block by block, losses and all, on
// the owner's thread instead of a device's: for the tests and benchmarks
// that drive the demodulation at their own pace.
//
// Contract: Feed() from one thread, between Start() and Stop(); the owner
// keeps a reference while whoever opened the device owns it.
class CFedSdrDevice : public CSdrDevice {
public:
    explicit CFedSdrDevice(double dSampleRate);

    // Hands one block over as a device's thread would; false when not started.
    bool Feed(std::span<const std::complex<float>> iq, uint64_t nLost = 0);

    const SSdrDeviceInfo& Info() const override { return m_info; }
    double SampleRate() const override { return m_dRate; }
    std::vector<std::pair<double, double>> Ranges() const override { return {{24e6, 1766e6}}; }
    bool SetCenter(double dHz, std::string& strWhy) override;
    double Center() const override { return m_dCenter; }
    bool SetGain(std::optional<double>, std::string&) override { return true; }
    bool SetCorrection(double, std::string&) override { return true; }
    bool Start(IqHandler onIq, FailureHandler onFailure, std::string& strWhy) override;
    void Stop() override { m_onIq = nullptr; }

private:
    SSdrDeviceInfo m_info;
    double m_dRate;
    double m_dCenter = 100e6;
    IqHandler m_onIq;
};
