#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

#include <string>

#include "platform/desktop/LogindSleepInhibitor.h"
#include "platform/desktop/SimSleepInhibitor.h"
#include "tests/platform/desktop/FakeLogind.h"
#include "tests/platform/desktop/PrivateBus.h"
#include "tests/platform/desktop/ProcessEventsUntil.h"
#include "tests/support/TraceCapture.h"

namespace {

bool HungUp(int nWatchFd, int nTimeoutMs = 0) {
    pollfd entry{nWatchFd, POLLIN, 0};
    return ::poll(&entry, 1, nTimeoutMs) > 0 && (entry.revents & POLLHUP) != 0;
}

// Logind's copies are in another process; the fake's are only passing through.
bool HungUpSoon(int nWatchFd) {
    return ProcessEventsUntil([&] { return HungUp(nWatchFd); });
}

// How many of this process's descriptors lead to the watched pipe, and
// whether every one of them is closed when a program is started.
struct SPipeCopies {
    int nCount = 0;
    bool bAllCloseOnExec = true;
};

SPipeCopies CopiesOfPipe(int nWatchFd) {
    SPipeCopies copies;
    struct stat watched {};
    if (::fstat(nWatchFd, &watched) != 0) {
        return copies;
    }
    DIR* pDir = ::opendir("/proc/self/fd");
    while (const dirent* pEntry = pDir ? ::readdir(pDir) : nullptr) {
        const int fd = std::atoi(pEntry->d_name);
        struct stat info {};
        if (pEntry->d_name[0] == '.' || fd == nWatchFd || ::fstat(fd, &info) != 0 ||
            info.st_ino != watched.st_ino || info.st_dev != watched.st_dev) {
            continue;
        }
        ++copies.nCount;
        copies.bAllCloseOnExec = copies.bAllCloseOnExec && (::fcntl(fd, F_GETFD) & FD_CLOEXEC);
    }
    if (pDir) {
        ::closedir(pDir);
    }
    return copies;
}

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bus.IsRunning()) << m_bus.Error(); }

    QString Address() const { return QString::fromStdString(m_bus.Address()); }

    CPrivateBus m_bus;
    CTraceCapture m_trace;
};

TEST_F(SleepInhibitorTest, HoldKeepsLogindsDescriptorOpenUntilReleased) {
    CFakeLogind logind(Address());
    ASSERT_TRUE(logind.IsServing());
    CLogindSleepInhibitor inhibitor(m_bus.Address());

    CSleepInhibition hold = inhibitor.Inhibit("Recording 80.0 MHz");
    ASSERT_TRUE(hold.IsHeld());
    std::vector<SInhibitCall> calls = logind.Manager().Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].strWhat, "sleep");
    EXPECT_EQ(calls[0].strWho, "Kestrel");
    EXPECT_EQ(calls[0].strWhy, "Recording 80.0 MHz");
    EXPECT_EQ(calls[0].strMode, "block");
    const int nWatch = calls[0].nWatchFd;
    EXPECT_FALSE(HungUp(nWatch));
    // A program Kestrel starts must not keep the machine awake after it.
    const SPipeCopies copies = CopiesOfPipe(nWatch);
    EXPECT_GE(copies.nCount, 1);
    EXPECT_TRUE(copies.bAllCloseOnExec);

    CSleepInhibition moved = std::move(hold);
    EXPECT_TRUE(moved.IsHeld());
    EXPECT_FALSE(HungUp(nWatch));
    moved.Release();
    EXPECT_FALSE(moved.IsHeld());
    EXPECT_TRUE(HungUpSoon(nWatch));

    // Holds are independent, and one that goes out of scope lets go.
    CSleepInhibition first = inhibitor.Inhibit("Recording 1");
    { CSleepInhibition second = inhibitor.Inhibit("Recording 2"); }
    calls = logind.Manager().Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(HungUpSoon(calls[2].nWatchFd));
    EXPECT_FALSE(HungUp(calls[1].nWatchFd));
    EXPECT_TRUE(m_trace.Lines().empty());
}

TEST_F(SleepInhibitorTest, RefusalGivesAnEmptyHoldAndIsTracedOncePerOutage) {
    CFakeLogind logind(Address());
    ASSERT_TRUE(logind.IsServing());
    CLogindSleepInhibitor inhibitor(m_bus.Address());

    logind.Manager().SetRefusing(true);
    EXPECT_FALSE(inhibitor.Inhibit("Recording 1").IsHeld());
    EXPECT_FALSE(inhibitor.Inhibit("Recording 2").IsHeld());
    ASSERT_EQ(m_trace.Lines().size(), 1u);
    EXPECT_NE(m_trace.Lines()[0].find("Permission denied"), std::string::npos);

    logind.Manager().SetRefusing(false);
    EXPECT_TRUE(inhibitor.Inhibit("Recording 3").IsHeld());
    logind.Manager().SetRefusing(true);
    EXPECT_FALSE(inhibitor.Inhibit("Recording 4").IsHeld());
    EXPECT_EQ(m_trace.Lines().size(), 2u);
}

TEST_F(SleepInhibitorTest, WithoutLogindOrBusNothingFails) {
    CLogindSleepInhibitor noLogind(m_bus.Address());
    EXPECT_FALSE(noLogind.Inhibit("Recording 1").IsHeld());
    EXPECT_FALSE(noLogind.Inhibit("Recording 2").IsHeld());
    EXPECT_EQ(m_trace.Lines().size(), 1u);

    CLogindSleepInhibitor noBus(m_bus.AbsentAddress());
    EXPECT_FALSE(noBus.Inhibit("Recording 1").IsHeld());
    EXPECT_EQ(m_trace.Lines().size(), 2u);

    // The system bus the environment names is not there either.
    CLogindSleepInhibitor system;
    EXPECT_FALSE(system.Inhibit("Recording 1").IsHeld());
    EXPECT_EQ(m_trace.Lines().size(), 3u);
}

TEST(SimSleepInhibitorTest, CountsHoldsUntilEveryCopyIsClosed) {
    CTraceCapture trace;
    CSimSleepInhibitor inhibitor;
    CSleepInhibition first = inhibitor.Inhibit("Recording 1");
    CSleepInhibition second = inhibitor.Inhibit("Recording 2");
    EXPECT_EQ(inhibitor.HeldReasons(), (std::vector<std::string>{"Recording 1", "Recording 2"}));

    CSleepInhibition moved = std::move(first);
    EXPECT_EQ(inhibitor.HeldReasons().size(), 2u);
    moved.Release();
    EXPECT_EQ(inhibitor.HeldReasons(), (std::vector<std::string>{"Recording 2"}));

    inhibitor.SetLogindAvailable(false);
    EXPECT_FALSE(inhibitor.Inhibit("Recording 3").IsHeld());
    EXPECT_FALSE(inhibitor.Inhibit("Recording 4").IsHeld());
    EXPECT_EQ(trace.Lines().size(), 1u);
    second = CSleepInhibition();
    EXPECT_TRUE(inhibitor.HeldReasons().empty());
}

}  // namespace
