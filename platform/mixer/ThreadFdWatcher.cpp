#include "platform/mixer/ThreadFdWatcher.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/posix/UniqueFd.h"
#include "platform/trace/Trace.h"

namespace {

class CThreadFdWatch : public CFdWatch {
public:
    CThreadFdWatch(CUniqueFd stopFd, std::vector<pollfd> fds, std::function<bool()> onReady)
        : m_stopFd(std::move(stopFd)), m_fds(std::move(fds)), m_onReady(std::move(onReady)) {
        m_fds.push_back({m_stopFd.Get(), POLLIN, 0});
        m_thread = std::thread([this] { Run(); });
    }

    ~CThreadFdWatch() override {
        const uint64_t one = 1;
        // A full counter still leaves the descriptor readable, so a failed
        // write cannot keep the thread from seeing the stop.
        [[maybe_unused]] ssize_t n = write(m_stopFd.Get(), &one, sizeof(one));
        m_thread.join();
    }

    CThreadFdWatch(const CThreadFdWatch&) = delete;
    CThreadFdWatch& operator=(const CThreadFdWatch&) = delete;

private:
    void Run() {
        for (;;) {
            for (pollfd& fd : m_fds) {
                fd.revents = 0;
            }
            if (poll(m_fds.data(), m_fds.size(), -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                KestrelTrace("CThreadFdWatcher", "poll: %s", std::strerror(errno));
                return;
            }
            if (m_fds.back().revents != 0) {
                return;
            }
            // A watch that ended on its own is still joined by its owner.
            if (!m_onReady()) {
                return;
            }
        }
    }

    CUniqueFd m_stopFd;
    std::vector<pollfd> m_fds;
    std::function<bool()> m_onReady;
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<CFdWatch> CThreadFdWatcher::Watch(const std::vector<pollfd>& fds,
                                                  std::function<bool()> onReady) {
    CUniqueFd stopFd(eventfd(0, EFD_CLOEXEC));
    if (!stopFd.IsValid()) {
        KestrelTrace("CThreadFdWatcher", "eventfd: %s", std::strerror(errno));
        return nullptr;
    }
    return std::make_unique<CThreadFdWatch>(std::move(stopFd), fds, std::move(onReady));
}
