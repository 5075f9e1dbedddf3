#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/PollLoop.h"
#include "platform/posix/UniqueFd.h"

class CSimReceiver;

// The simulated receiver made real: a HID device the kernel creates through
// /dev/uhid, with a real /dev/hidrawN and report descriptor, whose output
// reports go to a CSimReceiver and whose answers come back as input reports.
// So the receiver's own station logic answers the real hidraw back-end.
//
// Plug() creates the device (UHID_CREATE2), Unplug() destroys it
// (UHID_DESTROY); the CSimReceiver stays, with what it was tuned to, as a
// receiver pulled out and put back does. Creating a HID device changes the
// machine: the test suite does it only inside its own virtual machine.
//
// Threads: Plug, Unplug and the destructor from one thread; each plugged
// device is served by a thread of its own.
class CUhidReceiver {
public:
    struct SIdentity {
        uint16_t nVendorID = 0x03B4;
        uint16_t nProductID = 0x3113;
        std::string strName = "Kestrel simulated receiver";
    };

    // Vendor-defined; no report ids; 8 bytes in, 8 bytes out (9 and 9 as the
    // device link counts them, with the id byte).
    static const std::vector<uint8_t>& ReportDescriptor();

    explicit CUhidReceiver(std::shared_ptr<CSimReceiver> pReceiver);
    CUhidReceiver(std::shared_ptr<CSimReceiver> pReceiver, SIdentity identity);
    ~CUhidReceiver();

    CUhidReceiver(const CUhidReceiver&) = delete;
    CUhidReceiver& operator=(const CUhidReceiver&) = delete;

    // True when plugged in (also when it already was). False, with the
    // reason in LastError(), where /dev/uhid cannot be used.
    bool Plug();
    void Unplug();
    bool IsPlugged() const { return m_bPlugged; }
    const std::string& LastError() const { return m_strError; }
    CSimReceiver& Receiver() const { return *m_pReceiver; }

private:
    void Serve(CPollLoop& loop, int nUhid, int nLink);
    void FailPlug(const std::string& strWhat);

    std::shared_ptr<CSimReceiver> m_pReceiver;
    SIdentity m_identity;
    std::atomic<bool> m_bPlugged{false};
    std::string m_strError;
    CUniqueFd m_uhid;
    CUniqueFd m_link;  // our end of the connection to the simulated receiver
    CPollLoop m_loop;  // the serving thread
};
