#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/hid/HidServices.h"
#include "platform/hid/SimHidEndpoint.h"

// One simulated HID interface as a test or demo mode lays it out.
struct SSimHidInterface {
    uint16_t nVendorID = 0;
    uint16_t nProductID = 0;
    SHidCaps caps;
    bool bOpenable = true;  // false: held exclusively elsewhere, Open() fails
    // Serves the interface's connections; null for a silent device that
    // takes every write and never reports.
    std::shared_ptr<CSimHidEndpoint> pEndpoint;
};

// Drives the simulated HID back-end: which interfaces exist, which are
// plugged, and how many handles are open on each.
//
// Contract: callable from any thread; interface ids are never reused.
class CSimHidControl {
public:
    virtual ~CSimHidControl() = default;

    // Adds a plugged interface at the end of the enumeration order.
    virtual int AddInterface(const SSimHidInterface& description) = 0;
    virtual void Plug(int nId) = 0;
    // Takes the interface out of the enumeration and ends every open handle's
    // connection (reads see a hang-up, writes fail).
    virtual void Unplug(int nId) = 0;
    virtual bool IsPlugged(int nId) const = 0;
    // Handles open on the interface right now.
    virtual int OpenHandles(int nId) const = 0;
    virtual std::string PathOf(int nId) const = 0;
};
