#include "platform/mixer/ThreadFdWatcher.h"

#include <cerrno>
#include <cstring>

#include "platform/posix/PollLoop.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "CThreadFdWatcher";

class CThreadFdWatch : public CFdWatch {
public:
    CThreadFdWatch(std::vector<pollfd> fds, std::function<bool()> onReady)
        : m_fds(std::move(fds)), m_onReady(std::move(onReady)) {}

    bool Start() {
        return m_loop.Start([this](CPollLoop& loop) { Run(loop); });
    }

private:
    void Run(CPollLoop& loop) {
        for (;;) {
            const CPollLoop::EWake wake = loop.Wait(m_fds);
            if (wake == CPollLoop::EWake::Stopped) {
                return;
            }
            if (wake == CPollLoop::EWake::Failed) {
                KestrelTrace(kTag, "poll: %s", std::strerror(errno));
                return;
            }
            // A watch that ended on its own is still joined by its owner.
            if (!m_onReady()) {
                return;
            }
        }
    }

    std::vector<pollfd> m_fds;
    std::function<bool()> m_onReady;
    CPollLoop m_loop;  // goes first: its thread uses the rest
};

}  // namespace

std::unique_ptr<CFdWatch> CThreadFdWatcher::Watch(const std::vector<pollfd>& fds,
                                                  std::function<bool()> onReady) {
    auto pWatch = std::make_unique<CThreadFdWatch>(fds, std::move(onReady));
    if (!pWatch->Start()) {
        KestrelTrace(kTag, "cannot watch: %s", std::strerror(errno));
        return nullptr;
    }
    return pWatch;
}
