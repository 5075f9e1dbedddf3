#include <QCoreApplication>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

#include "platform/instance/SingleInstance.h"
#include "platform/posix/UniqueFd.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

// Every start of a test keeps its socket in the test's own folder.
class SingleInstanceTest : public ::testing::Test {
protected:
    std::unique_ptr<CSingleInstance> Start() {
        return std::make_unique<CSingleInstance>(kTitle, m_dir.Path().string());
    }
    // A later start runs on a thread of its own: the running copy's thread
    // must keep serving while the later one waits for its answer.
    bool ClaimFromLaterStart(int nTask) {
        auto result =
            std::async(std::launch::async, [&] { return Start()->Claim(nTask, nullptr); });
        while (result.wait_for(10ms) != std::future_status::ready) {
            QCoreApplication::processEvents();
        }
        return result.get();
    }

    static constexpr const char* kTitle = "Kestrel Radio";
    CTempDir m_dir;
};

TEST_F(SingleInstanceTest, LaterStartsHandTheirTaskNumbersToTheRunningCopy) {
    std::vector<int> requests;
    auto pRunning = Start();
    ASSERT_TRUE(pRunning->Claim(-1, [&](int nTask) {
        requests.push_back(nTask);
        return true;
    }));

    EXPECT_FALSE(ClaimFromLaterStart(3));
    EXPECT_FALSE(ClaimFromLaterStart(-1));
    QCoreApplication::processEvents();
    EXPECT_EQ(requests, (std::vector<int>{3, -1}));
}

TEST_F(SingleInstanceTest, SocketLeftByACrashedCopyIsTakenOver) {
    const std::string path = Start()->SocketPath();
    // A socket bound and never unlinked, as a killed copy leaves it.
    CUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::unlink(path.c_str());
    ASSERT_EQ(::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fd.Reset();

    int nReceived = 0;
    auto pRunning = Start();
    ASSERT_TRUE(pRunning->Claim(-1, [&](int nTask) {
        nReceived = nTask;
        return true;
    }));
    EXPECT_FALSE(ClaimFromLaterStart(7));
    QCoreApplication::processEvents();
    EXPECT_EQ(nReceived, 7);
}

// A copy with no screen gives way to a start that can show the window; the
// tasks after that reach the new copy.
TEST_F(SingleInstanceTest, ACopyThatGivesWayLetsTheLaterStartRun) {
    std::vector<int> headless;
    auto pHeadless = Start();
    ASSERT_TRUE(pHeadless->Claim(5, [&](int nTask) {
        headless.push_back(nTask);
        return nTask >= 0;
    }));
    EXPECT_FALSE(ClaimFromLaterStart(6));

    // The window's copy serves on a thread of its own, as a process would.
    std::atomic<int> nWindowed{0};
    QThread thread;
    thread.start();
    auto pWindow = Start();
    pWindow->moveToThread(&thread);
    std::atomic<int> nClaimed{-1};
    QMetaObject::invokeMethod(pWindow.get(), [&] {
        nClaimed = pWindow->Claim(-1, [&](int nTask) {
            nWindowed = nTask;
            return true;
        });
    });
    while (nClaimed < 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_EQ(nClaimed, 1);
    EXPECT_FALSE(ClaimFromLaterStart(7));
    EXPECT_EQ(nWindowed, 7);
    thread.quit();
    thread.wait();
    QCoreApplication::processEvents();
    EXPECT_EQ(headless, (std::vector<int>{6, -1}));
}

TEST_F(SingleInstanceTest, CopyThatEndedLeavesTheNameFree) {
    ASSERT_TRUE(Start()->Claim(-1, nullptr));
    EXPECT_TRUE(Start()->Claim(-1, nullptr));
}

}  // namespace
