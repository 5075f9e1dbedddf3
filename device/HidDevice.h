#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/hid/HidServices.h"
#include "platform/posix/PollLoop.h"
#include "platform/posix/UniqueFd.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

// The link to the receiver: finds it among the HID interfaces, opens it, and
// runs one read thread that writes the output report on request and otherwise
// keeps a read outstanding, so the latest input report is always at hand.
//
// Threads: CountDevices, Open and Close on the UI thread; SetOutputReport,
// Send and ReadInputReport from the UI thread and the seek worker.
class CHidDevice {
public:
    static constexpr uint16_t kVendorID = 0x03B4;
    static constexpr uint16_t kProductID = 0x3113;

    explicit CHidDevice(CHidServices& services);
    virtual ~CHidDevice();

    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    int CountDevices();
    bool Open(CMessageTarget* notifyWindow, uint32_t notifyMessage);
    void Close();
    bool Send();

    bool IsOpen() const { return m_bOpen.load(); }
    CMessageTarget* NotifyWindow() const { return m_pNotifyWindow.load(); }
    const SHidCaps& Caps() const { return m_caps; }

    // Zeroes the whole output buffer and copies payload into bytes 1..n (byte 0
    // is the report id, 0). False when the link is closed.
    bool SetOutputReport(const uint8_t* payload, size_t n);
    // Copies bytes 0..n of the latest input report; false when the link is
    // closed (the buffer exists only while it is open).
    bool ReadInputReport(uint8_t* out, size_t n) const;
    size_t OutputReportLength() const;
    // A Send whose write has not yet been made (for clocks that settle the
    // simulated receiver before time moves on).
    bool IsWritePending() const { return m_nWritesDone.load() < m_nWritesRequested.load(); }
    uint64_t WritesMade() const { return m_nWritesMade.load(); }

private:
    // Reports shorter than these leave out bytes the tuner relies on.
    static constexpr uint16_t kMinInputLength = 4;
    static constexpr uint16_t kMinOutputLength = 9;
    // Back-off while reads fail at once (device gone, link not yet closed).
    static constexpr int kFirstBackoffMs = 10;
    static constexpr int kMaxBackoffMs = 500;

    // Counts the matching interfaces; the caps of the first go to *pFirstCaps.
    int CountMatches(SHidCaps* pFirstCaps);
    // The handle's interface is the receiver, with usable report lengths.
    bool Matches(CHidHandle& handle, SHidCaps& caps) const;
    // Opens the first matching interface as write and read handle.
    bool Search();
    void ReadThreadProc(CPollLoop& loop, size_t nInputLength, size_t nOutputLength);
    void ServeWriteRequest(std::vector<uint8_t>& privateOutput);
    // False when the read failed.
    bool ServeRead(std::vector<uint8_t>& privateInput);
    void PostNotify(uintptr_t wParam, intptr_t lParam);

    CHidServices& m_services;
    std::atomic<CMessageTarget*> m_pNotifyWindow{nullptr};
    std::atomic<uint32_t> m_nNotifyMessage{WM_DEVICE_REPORT};
    std::atomic<bool> m_bOpen{false};
    SHidCaps m_caps;
    std::unique_ptr<CHidHandle> m_pReadHandle;
    std::unique_ptr<CHidHandle> m_pWriteHandle;
    // The read thread; stopped (and joined) by Close.
    CPollLoop m_readLoop;
    // Written under m_bufferMutex (Send, Close) so that a Send racing Close
    // never signals a closed descriptor.
    CUniqueFd m_hWriteRequestEvent;  // eventfd
    // Guards both buffers against the read thread, the tuner and Close.
    mutable std::mutex m_bufferMutex;
    std::atomic<uint64_t> m_nWritesRequested{0};
    std::atomic<uint64_t> m_nWritesDone{0};
    std::atomic<uint64_t> m_nWritesMade{0};
    std::vector<uint8_t> m_inputBuffer;
    std::vector<uint8_t> m_outputBuffer;
    uint16_t m_nVendorID = kVendorID;
    uint16_t m_nProductID = kProductID;
};
