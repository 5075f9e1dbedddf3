#pragma once

#include "platform/sdr/SdrDevice.h"

// The dongles through SoapySDR and its modules for dongles (rtlsdr, airspy,
// hackrf, sdrplay, mirisdr; no others are loaded): complex float IQ read on
// a thread of the device's own, overflows counted.
class CSoapySdrServices : public CSdrServices {
public:
    CSoapySdrServices();

    std::vector<SSdrDeviceInfo> Enumerate() override;
    std::unique_ptr<CSdrDevice> Open(const SSdrDeviceInfo& device, double dSampleRate,
                                     std::string& strWhy) override;

private:
    bool m_bModules = false;  // some dongle's module loaded: enumerating is safe
};
