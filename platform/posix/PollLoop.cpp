#include "platform/posix/PollLoop.h"

#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

bool CPollLoop::Start(std::function<void(CPollLoop&)> body) {
    Stop();
    m_stop.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_stop.IsValid()) {
        return false;
    }
    try {
        m_thread = std::thread([this, body = std::move(body)] { body(*this); });
    } catch (const std::system_error&) {
        m_stop.Reset();
        return false;
    }
    return true;
}

void CPollLoop::Stop() {
    if (m_thread.joinable()) {
        ::eventfd_write(m_stop.Get(), 1);
        m_thread.join();
    }
    m_stop.Reset();
}

CPollLoop::EWake CPollLoop::Wait(std::span<pollfd> fds, int nTimeoutMs, size_t nStopAt) {
    nStopAt = std::min(nStopAt, fds.size());
    std::vector<pollfd> all;
    all.reserve(fds.size() + 1);
    all.insert(all.end(), fds.begin(), fds.begin() + static_cast<std::ptrdiff_t>(nStopAt));
    all.push_back({m_stop.Get(), POLLIN, 0});
    all.insert(all.end(), fds.begin() + static_cast<std::ptrdiff_t>(nStopAt), fds.end());
    int nReady = 0;
    do {
        nReady = ::poll(all.data(), all.size(), nTimeoutMs);
    } while (nReady < 0 && errno == EINTR);
    if (nReady < 0) {
        return EWake::Failed;
    }
    for (size_t n = 0; n < fds.size(); ++n) {
        fds[n].revents = all[n < nStopAt ? n : n + 1].revents;
    }
    if (nReady == 0) {
        return EWake::TimedOut;
    }
    const bool bEarlier =
        std::any_of(fds.begin(), fds.begin() + static_cast<std::ptrdiff_t>(nStopAt),
                    [](const pollfd& fd) { return fd.revents != 0; });
    if (!bEarlier && all[nStopAt].revents != 0) {
        return EWake::Stopped;
    }
    return EWake::Ready;
}
