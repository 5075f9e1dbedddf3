#pragma once

#include "platform/sdr/IqFile.h"
#include "platform/sdr/SdrDevice.h"

// An IQ recording as the one dongle there is: played round and round in
// real time, in 10 ms blocks, at its own rate and centre (a recording cannot
// be retuned: the stations are those within its span).
class CIqFileServices : public CSdrServices {
public:
    explicit CIqFileServices(CIqFile::SOptions options);

    // Whether the recording opens; strWhy says why not. Enumerate() lists
    // nothing for one that does not.
    bool Check(std::string& strWhy) const;

    std::vector<SSdrDeviceInfo> Enumerate() override;
    std::unique_ptr<CSdrDevice> Open(const SSdrDeviceInfo& device, double dSampleRate,
                                     std::string& strWhy) override;

private:
    class CDevice;

    CIqFile::SOptions m_options;
};
