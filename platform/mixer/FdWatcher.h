#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <poll.h>

// One registration with a CFdWatcher. Destroying it stops the watch: when the
// destructor returns, the callback is not running and will not run again.
class CFdWatch {
public:
    virtual ~CFdWatch() = default;
};

// Watches file descriptors for a back-end that learns of changes through them
// (the ALSA mixer's poll descriptors).
//
// Contract: Watch() calls onReady whenever one of the descriptors reports one
// of the events in its pollfd.events (or an error or hang-up), on the
// watcher's own thread: the thread of the window for a window-bound watcher,
// a thread of its own for CThreadFdWatcher. onReady must consume what made
// the descriptor ready, or it is called again at once; it returns false to
// end the watch (the descriptor went bad). onReady must only touch state that
// is its own or thread-safe (CMessageTarget::Post is). The descriptors stay
// open for the life of the returned watch.
class CFdWatcher {
public:
    virtual ~CFdWatcher() = default;

    virtual std::unique_ptr<CFdWatch> Watch(const std::vector<pollfd>& fds,
                                            std::function<bool()> onReady) = 0;
};
