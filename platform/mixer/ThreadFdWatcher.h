#pragma once

#include "platform/mixer/FdWatcher.h"

// Watches each registration on a thread of its own, for programs and tests
// without a window event loop. The callback runs on that thread.
class CThreadFdWatcher : public CFdWatcher {
public:
    std::unique_ptr<CFdWatch> Watch(const std::vector<pollfd>& fds,
                                    std::function<bool()> onReady) override;
};
