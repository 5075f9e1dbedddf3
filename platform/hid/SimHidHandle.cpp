#include "platform/hid/SimHidHandle.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/trace/Trace.h"

namespace {
constexpr const char* kTag = "simhid";
}

CSimHidHandle::CSimHidHandle(CUniqueFd fd, SHidAttributes attributes, SHidCaps caps,
                             std::shared_ptr<CSimHidEndpoint> pEndpoint,
                             std::shared_ptr<std::atomic<int>> pOpenHandles)
    : m_fd(std::move(fd)),
      m_attributes(attributes),
      m_caps(caps),
      m_pEndpoint(std::move(pEndpoint)),
      m_pOpenHandles(std::move(pOpenHandles)) {
    ++*m_pOpenHandles;
}

CSimHidHandle::~CSimHidHandle() {
    --*m_pOpenHandles;
}

bool CSimHidHandle::GetAttributes(SHidAttributes& attributes) {
    attributes = m_attributes;
    return true;
}

bool CSimHidHandle::GetCaps(SHidCaps& caps) {
    caps = m_caps;
    return true;
}

long CSimHidHandle::Read(uint8_t* report, size_t length) {
    ssize_t n;
    do {
        n = ::recv(m_fd.Get(), report, length, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    // 0: the device's end is closed (unplugged).
    if (n <= 0) {
        return -1;
    }
    if (static_cast<size_t>(n) < length) {
        std::memset(report + n, 0, length - static_cast<size_t>(n));
        KestrelTrace(kTag, "short input report: %zd of %zu bytes, rest zeroed", n, length);
    }
    return static_cast<long>(n);
}

bool CSimHidHandle::Write(const uint8_t* report, size_t length) {
    if (m_pEndpoint && !m_pEndpoint->AcceptsWrites()) {
        KestrelTrace(kTag, "write refused by the simulated device");
        return false;
    }
    ssize_t n;
    do {
        n = ::send(m_fd.Get(), report, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(length)) {
        KestrelTrace(kTag, "write failed: %s", n < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}
