#include "device/HidDevice.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "device";

}  // namespace

CHidDevice::CHidDevice(CHidServices& services) : m_services(services) {}

CHidDevice::~CHidDevice() {
    Close();
}

bool CHidDevice::Matches(CHidHandle& handle, SHidCaps& caps) const {
    SHidAttributes attributes;
    if (!handle.GetAttributes(attributes) || attributes.nVendorID != m_nVendorID ||
        attributes.nProductID != m_nProductID) {
        return false;
    }
    if (!handle.GetCaps(caps)) {
        KestrelTrace(kTag, "receiver found, but its report lengths cannot be read");
        return false;
    }
    if (caps.nInputReportByteLength < kMinInputLength ||
        caps.nOutputReportByteLength < kMinOutputLength) {
        KestrelTrace(kTag,
                     "receiver found, but its reports are too short to use "
                     "(input %u of at least %u, output %u of at least %u bytes)",
                     caps.nInputReportByteLength, kMinInputLength, caps.nOutputReportByteLength,
                     kMinOutputLength);
        return false;
    }
    return true;
}

int CHidDevice::CountMatches(SHidCaps* pFirstCaps) {
    int nCount = 0;
    for (const std::string& path : m_services.EnumerateInterfaces()) {
        std::unique_ptr<CHidHandle> handle = m_services.Open(path);
        SHidCaps caps;
        if (!handle || !Matches(*handle, caps)) {
            continue;
        }
        if (nCount == 0 && pFirstCaps) {
            *pFirstCaps = caps;
        }
        ++nCount;
    }
    return nCount;
}

int CHidDevice::CountDevices() {
    return CountMatches(&m_caps);
}

bool CHidDevice::Search() {
    for (const std::string& path : m_services.EnumerateInterfaces()) {
        std::unique_ptr<CHidHandle> writeHandle = m_services.Open(path);
        SHidCaps caps;
        if (!writeHandle || !Matches(*writeHandle, caps)) {
            continue;
        }
        std::unique_ptr<CHidHandle> readHandle = m_services.Open(path);
        if (!readHandle) {
            KestrelTrace(kTag, "%s opened once but not a second time", path.c_str());
            return false;
        }
        m_caps = caps;
        m_pWriteHandle = std::move(writeHandle);
        m_pReadHandle = std::move(readHandle);
        return true;
    }
    return false;
}

bool CHidDevice::Open(CMessageTarget* notifyWindow, uint32_t notifyMessage) {
    // An open link keeps its caps: counting must not change what it runs on.
    SHidCaps firstCaps;
    const int nCount = CountMatches(&firstCaps);
    if (m_bOpen) {
        if (nCount > 0) {
            return true;
        }
        Close();
        return false;
    }
    if (nCount == 0) {
        return false;
    }

    m_pNotifyWindow = notifyWindow;
    m_nNotifyMessage = notifyMessage;
    if (!Search()) {
        return false;
    }

    const size_t nInputLength = m_caps.nInputReportByteLength;
    const size_t nOutputLength = m_caps.nOutputReportByteLength;
    {
        std::lock_guard lock(m_bufferMutex);
        // Created clear: a Send made before the thread runs must not be lost.
        m_hWriteRequestEvent.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        m_inputBuffer.assign(nInputLength, 0);
        m_outputBuffer.assign(nOutputLength, 0);
    }
    if (!m_hWriteRequestEvent.IsValid()) {
        KestrelTrace(kTag, "cannot create the read thread's event: %s", std::strerror(errno));
        Close();
        return false;
    }
    m_bOpen = true;
    const bool bStarted = m_readLoop.Start([this, nInputLength, nOutputLength](CPollLoop& loop) {
        ReadThreadProc(loop, nInputLength, nOutputLength);
    });
    if (!bStarted) {
        KestrelTrace(kTag, "cannot start the read thread: %s", std::strerror(errno));
        Close();
        return false;
    }
    return true;
}

// Joins the read thread rather than giving it a fixed time to end: the thread
// wakes at once on the stop event, and nothing it touches is freed before it
// is gone.
void CHidDevice::Close() {
    {
        std::lock_guard lock(m_bufferMutex);
        m_bOpen = false;
    }
    m_readLoop.Stop();
    m_pReadHandle.reset();
    m_pWriteHandle.reset();
    m_nWritesDone = m_nWritesRequested.load();  // what was never written never will be
    std::lock_guard lock(m_bufferMutex);
    m_hWriteRequestEvent.Reset();
    std::vector<uint8_t>().swap(m_inputBuffer);
    std::vector<uint8_t>().swap(m_outputBuffer);
}

bool CHidDevice::Send() {
    std::lock_guard lock(m_bufferMutex);
    if (!m_bOpen || !m_hWriteRequestEvent.IsValid()) {
        return false;
    }
    // A flag, not a queue: requests made before the thread copies the buffer
    // merge into one write.
    ::eventfd_write(m_hWriteRequestEvent.Get(), 1);
    ++m_nWritesRequested;
    return true;
}

bool CHidDevice::SetOutputReport(const uint8_t* payload, size_t n) {
    std::lock_guard lock(m_bufferMutex);
    if (m_outputBuffer.empty() || n > m_outputBuffer.size() - 1) {
        return false;
    }
    std::fill(m_outputBuffer.begin(), m_outputBuffer.end(), 0);
    std::copy(payload, payload + n, m_outputBuffer.begin() + 1);
    return true;
}

bool CHidDevice::ReadInputReport(uint8_t* out, size_t n) const {
    std::lock_guard lock(m_bufferMutex);
    if (m_inputBuffer.empty()) {
        return false;
    }
    const size_t nCopied = std::min(n, m_inputBuffer.size());
    std::copy(m_inputBuffer.begin(), m_inputBuffer.begin() + nCopied, out);
    std::fill(out + nCopied, out + n, 0);
    return true;
}

size_t CHidDevice::OutputReportLength() const {
    std::lock_guard lock(m_bufferMutex);
    return m_outputBuffer.size();
}

void CHidDevice::PostNotify(uintptr_t wParam, intptr_t lParam) {
    CMessageTarget* pWindow = m_pNotifyWindow.load();
    const uint32_t nMessage = m_nNotifyMessage.load();
    if (pWindow && nMessage != 0) {
        pWindow->Post(nMessage, wParam, lParam);
    }
}

void CHidDevice::ServeWriteRequest(std::vector<uint8_t>& privateOutput) {
    eventfd_t requests;
    ::eventfd_read(m_hWriteRequestEvent.Get(), &requests);
    uint64_t nServed;
    {
        std::lock_guard lock(m_bufferMutex);
        std::copy(m_outputBuffer.begin(), m_outputBuffer.end(), privateOutput.begin());
        nServed = m_nWritesRequested;
    }
    if (m_pWriteHandle->Write(privateOutput.data(), privateOutput.size())) {
        ++m_nWritesMade;
    } else {
        PostNotify(DEVICE_REPORT_WRITE_FAILED, 0);
    }
    m_nWritesDone = nServed;
}

bool CHidDevice::ServeRead(std::vector<uint8_t>& privateInput) {
    const long n = m_pReadHandle->Read(privateInput.data(), privateInput.size());
    if (n >= 0) {
        std::lock_guard lock(m_bufferMutex);
        std::copy(privateInput.begin(), privateInput.end(), m_inputBuffer.begin());
    }
    // A failed read counts as a report too; nobody examines the result.
    PostNotify(DEVICE_REPORT_READ, 1);
    return n >= 0;
}

// Serves, in this order, a write request, a stop, a completed read. While
// reads fail at once (the receiver is gone and the core has not yet closed
// the link) the device is left out of the wait for a growing time, so the
// thread sleeps instead of spinning; writes and the stop are still served.
void CHidDevice::ReadThreadProc(CPollLoop& loop, size_t nInputLength, size_t nOutputLength) {
    using Clock = std::chrono::steady_clock;
    std::vector<uint8_t> privateOutput(nOutputLength);
    std::vector<uint8_t> privateInput(nInputLength);
    int nBackoffMs = 0;
    bool bBackingOff = false;
    Clock::time_point retryAt;

    for (;;) {
        pollfd fds[2] = {{m_hWriteRequestEvent.Get(), POLLIN, 0},
                         {m_pReadHandle->PollFd(), POLLIN, 0}};
        int nTimeoutMs = -1;
        if (bBackingOff) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(retryAt - Clock::now());
            nTimeoutMs = static_cast<int>(std::max<long>(0, left.count()));
        }
        // The write request first, then the stop, then the read.
        const auto wake = loop.Wait(std::span(fds, bBackingOff ? 1 : 2), nTimeoutMs, 1);
        if (wake == CPollLoop::EWake::Failed) {
            KestrelTrace(kTag, "poll failed: %s", std::strerror(errno));
            std::this_thread::sleep_for(std::chrono::milliseconds(kFirstBackoffMs));
            continue;
        }
        if (wake == CPollLoop::EWake::TimedOut) {
            bBackingOff = false;  // time to try the device again
            continue;
        }
        if (fds[0].revents != 0) {
            ServeWriteRequest(privateOutput);
            continue;
        }
        if (wake == CPollLoop::EWake::Stopped) {
            break;
        }
        if (bBackingOff || fds[1].revents == 0) {
            continue;
        }
        if (ServeRead(privateInput)) {
            nBackoffMs = 0;
            continue;
        }
        if (nBackoffMs == 0) {
            KestrelTrace(kTag, "reads from the receiver fail; waiting for the link to be closed");
        }
        nBackoffMs = nBackoffMs == 0 ? kFirstBackoffMs : std::min(2 * nBackoffMs, kMaxBackoffMs);
        bBackingOff = true;
        retryAt = Clock::now() + std::chrono::milliseconds(nBackoffMs);
    }
}
