#pragma once

#include "platform/sdr/SdrDevice.h"

// The dongles through SoapySDR and its modules (rtlsdr, airspy, hackrf):
// complex float IQ read on a thread of the device's own, overflows counted.
class CSoapySdrServices : public CSdrServices {
public:
    CSoapySdrServices();

    std::vector<SSdrDeviceInfo> Enumerate() override;
    std::unique_ptr<CSdrDevice> Open(const SSdrDeviceInfo& device, double dSampleRate,
                                     std::string& strWhy) override;
};
