#pragma once

#include "platform/posix/UniqueFd.h"

// The device behind a simulated HID interface (the simulated receiver is
// one). Each open handle on the interface is one SOCK_SEQPACKET connection;
// a message is one report with byte 0 = report id, in either direction.
//
// Contract: all three may be called from any thread. An endpoint serves one
// interface and answers on every connection it holds (as every hidraw reader
// receives every input report).
class CSimHidEndpoint {
public:
    virtual ~CSimHidEndpoint() = default;

    // A handle was opened: fd is the device's end of its connection, served
    // until the host closes its end or Disconnect() is called.
    virtual void Connect(CUniqueFd fd) = 0;
    // The interface was unplugged: every connection ends at once, so that the
    // hosts' reads see a hang-up and their writes fail.
    virtual void Disconnect() = 0;
    // False makes the hosts' writes fail, as on a device that stalls them.
    virtual bool AcceptsWrites() const = 0;
};
