#include <sys/eventfd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/posix/PollLoop.h"
#include "platform/posix/UniqueFd.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// The thread waits on a descriptor of its own; Stop() ends it at once, and
// the loop starts again.
TEST(PollLoopTest, StopEndsTheWaitAndTheLoopStartsAgain) {
    CUniqueFd event(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    std::atomic<int> nServed{0};
    std::atomic<bool> bEnded{false};
    CPollLoop loop;
    const auto body = [&](CPollLoop& self) {
        pollfd fds[1] = {{event.Get(), POLLIN, 0}};
        while (self.Wait(fds) == CPollLoop::EWake::Ready) {
            eventfd_t value = 0;
            ::eventfd_read(event.Get(), &value);
            ++nServed;
        }
        bEnded = true;
    };
    for (int nRound = 1; nRound <= 2; ++nRound) {
        bEnded = false;
        ASSERT_TRUE(loop.Start(body));
        ::eventfd_write(event.Get(), 1);
        ASSERT_TRUE(WaitUntil([&] { return nServed == nRound; }, 5s));
        loop.Stop();
        EXPECT_TRUE(bEnded);
        EXPECT_FALSE(loop.IsRunning());
    }
}

// A descriptor placed before the stop is served first; one after it is not.
TEST(PollLoopTest, TheStopWaitsForWhatComesBeforeIt) {
    CUniqueFd before(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    CUniqueFd after(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    std::vector<CPollLoop::EWake> wakes;
    std::vector<bool> beforeReady;
    std::atomic<bool> bGo{false};
    CPollLoop loop;
    ASSERT_TRUE(loop.Start([&](CPollLoop& self) {
        WaitUntil([&] { return bGo.load(); }, 5s);
        pollfd fds[2] = {{before.Get(), POLLIN, 0}, {after.Get(), POLLIN, 0}};
        for (;;) {
            const CPollLoop::EWake wake = self.Wait(fds, 1000, 1);
            wakes.push_back(wake);
            beforeReady.push_back(fds[0].revents != 0);
            if (wake != CPollLoop::EWake::Ready) {
                return;
            }
            eventfd_t value = 0;
            ::eventfd_read(before.Get(), &value);
        }
    }));
    ::eventfd_write(before.Get(), 1);
    ::eventfd_write(after.Get(), 1);
    std::thread stopper([&] { loop.Stop(); });
    std::this_thread::sleep_for(50ms);  // the stop is set before the loop looks
    bGo = true;
    stopper.join();
    ASSERT_EQ(wakes.size(), 2u);
    EXPECT_EQ(wakes[0], CPollLoop::EWake::Ready);
    EXPECT_TRUE(beforeReady[0]);
    EXPECT_EQ(wakes[1], CPollLoop::EWake::Stopped);  // though "after" is still ready
}

}  // namespace
