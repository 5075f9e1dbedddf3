#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/mixer/ThreadFdWatcher.h"
#include "platform/posix/UniqueFd.h"

namespace {

using namespace std::chrono_literals;

class ThreadFdWatcherTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_fd.IsValid()); }

    void Signal() {
        const uint64_t one = 1;
        ASSERT_EQ(write(m_fd.Get(), &one, sizeof(one)), static_cast<ssize_t>(sizeof(one)));
    }
    void Drain() {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = read(m_fd.Get(), &count, sizeof(count));
    }
    static bool WaitUntil(const std::atomic<int>& value, int wanted) {
        for (int i = 0; i < 500 && value.load() < wanted; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return value.load() >= wanted;
    }

    CUniqueFd m_fd{eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
    CThreadFdWatcher m_watcher;
};

TEST_F(ThreadFdWatcherTest, CallsBackForEachReadinessAndNeverAfterTheWatchIsGone) {
    std::atomic<int> calls{0};
    auto watch = m_watcher.Watch({{m_fd.Get(), POLLIN, 0}}, [&] {
        Drain();
        ++calls;
        return true;
    });
    ASSERT_NE(watch, nullptr);

    Signal();
    ASSERT_TRUE(WaitUntil(calls, 1));
    Signal();
    ASSERT_TRUE(WaitUntil(calls, 2));

    watch.reset();
    const int before = calls.load();
    Signal();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(calls.load(), before);
}

TEST_F(ThreadFdWatcherTest, CallbackThatGivesUpEndsTheWatch) {
    std::atomic<int> calls{0};
    // Never drained: a watch that went on would call back without end.
    auto watch = m_watcher.Watch({{m_fd.Get(), POLLIN, 0}}, [&] {
        ++calls;
        return false;
    });
    Signal();
    ASSERT_TRUE(WaitUntil(calls, 1));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(calls.load(), 1);
}

}  // namespace
