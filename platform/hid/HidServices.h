#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SHidAttributes {
    uint16_t nVendorID = 0;
    uint16_t nProductID = 0;
};

// The two report lengths the device link uses, counted as Windows counts
// them: one byte for the report id included, also for a device without ids.
// 0 when the device has no report of that kind.
struct SHidCaps {
    uint16_t nInputReportByteLength = 0;
    uint16_t nOutputReportByteLength = 0;
};

// One open handle on a HID interface.
//
// Contract: a handle is used by one thread at a time, except PollFd(), which
// the read thread polls while another handle on the same interface writes.
// Every open handle receives every input report the device sends. Reports
// cross this interface with byte 0 = report id (0 for a device without report
// ids), whatever the back-end's own framing.
class CHidHandle {
public:
    virtual ~CHidHandle() = default;

    virtual bool GetAttributes(SHidAttributes& attributes) = 0;
    virtual bool GetCaps(SHidCaps& caps) = 0;
    // Readable (POLLIN) when an input report is waiting; POLLHUP/POLLERR once
    // the device has gone. Valid for the life of the handle.
    virtual int PollFd() const = 0;
    // Reads one input report into report[0..length); a shorter report is
    // zero-filled to length. Returns the bytes the device delivered (report id
    // included), or -1 on failure (device gone, nothing waiting). Call it when
    // PollFd() polls readable or hung up; otherwise it may block.
    virtual long Read(uint8_t* report, size_t length) = 0;
    // Writes one output report, byte 0 = report id; true when the whole report
    // was written. Synchronous.
    virtual bool Write(const uint8_t* report, size_t length) = 0;
};

// HID class services: the interfaces present and a way to open them.
//
// Contract: called from the UI thread only. EnumerateInterfaces() returns the
// present interfaces in a stable enumeration order; Open() returns null when
// the interface cannot be opened (gone, no permission, held exclusively).
// Handles may outlive the enumeration and are closed by destroying them.
class CHidServices {
public:
    virtual ~CHidServices() = default;

    virtual std::vector<std::string> EnumerateInterfaces() = 0;
    virtual std::unique_ptr<CHidHandle> Open(const std::string& path) = 0;
};
