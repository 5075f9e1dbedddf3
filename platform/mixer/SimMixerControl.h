#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What tests and demo mode use to lay out the simulated mixer and to drive
// and inspect it from outside, as the desktop's own mixer or another program
// would.
//
// Contract: lay the devices out before handles are opened on them; every
// call is thread-safe. Devices, destinations, sources and controls are listed
// in the order they were added. A control holds max(items, 1) values per
// channel (one channel when it is UNIFORM), all 0 at first. Identifiers of
// lines and controls start at 1; 0 means the device or line was unknown.
class CSimMixerControl {
public:
    virtual ~CSimMixerControl() = default;

    // Returns the device identifier.
    virtual int AddDevice(const std::string& strProductName) = 0;
    // Return the line identifier.
    virtual uint32_t AddDestination(int nDeviceID, uint32_t nComponentType,
                                    const std::string& strName, uint32_t nChannels) = 0;
    virtual uint32_t AddSource(uint32_t nDestinationLineID, uint32_t nComponentType,
                               const std::string& strName, uint32_t nChannels) = 0;
    // Returns the control identifier.
    virtual uint32_t AddControl(uint32_t nLineID, uint32_t nControlType, uint32_t nFlags,
                                uint32_t nMultipleItems) = 0;

    // A device whose capabilities cannot be read (a driver in trouble).
    virtual void SetCapsReadable(int nDeviceID, bool bReadable) = 0;

    virtual std::vector<uint32_t> Values(uint32_t nControlID) const = 0;
    // Changes a value from outside; the open handles of the device are
    // notified as for any change. False for an unknown control or a wrong
    // number of values.
    virtual bool SetValues(uint32_t nControlID, const std::vector<uint32_t>& values) = 0;

    virtual int OpenHandles(int nDeviceID) const = 0;
};
