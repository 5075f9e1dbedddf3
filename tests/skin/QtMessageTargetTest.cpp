#include <QCoreApplication>
#include <QLabel>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/window/WindowMessages.h"
#include "platform/window/qt/QtMessageTarget.h"
#include "skin/QtTextSink.h"

namespace {

struct SReceived {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    QThread* pThread;
};

class QtMessageTargetTest : public testing::Test {
protected:
    // Runs the window thread's event loop until bDone is set.
    static void PumpUntil(const std::atomic<bool>& bDone) {
        while (!bDone) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        QCoreApplication::processEvents();
    }

    std::vector<SReceived> m_received;
    std::atomic<bool> m_bHandlerDone{false};
    CQtMessageTarget m_target{[this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        m_received.push_back({message, wParam, lParam, QThread::currentThread()});
        if (message == WM_SEEK_FOUND) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            m_bHandlerDone = true;
        }
        return intptr_t{7};
    }};
};

TEST_F(QtMessageTargetTest, SendFromAWorkerReturnsOnlyAfterTheHandlerRanOnTheWindowThread) {
    std::atomic<bool> bReturned{false};
    bool bHandlerDoneAtReturn = false;
    intptr_t result = 0;
    std::thread worker([&] {
        result = m_target.Send(WM_SEEK_FOUND, 0, 0);
        bHandlerDoneAtReturn = m_bHandlerDone;
        bReturned = true;
    });
    PumpUntil(bReturned);
    worker.join();

    EXPECT_TRUE(bHandlerDoneAtReturn);
    EXPECT_EQ(result, 7);
    ASSERT_EQ(m_received.size(), 1u);
    EXPECT_EQ(m_received[0].pThread, QThread::currentThread());
}

TEST_F(QtMessageTargetTest, PostReturnsAtOnceAndMessagesArriveInOrder) {
    std::thread worker([&] {
        for (uintptr_t n = 1; n <= 3; ++n) {
            m_target.Post(WM_PRESETS_CHANGED, n, -static_cast<intptr_t>(n));
        }
    });
    // The window thread runs no events while the worker posts: had Post
    // waited for the handler, this join would never return.
    worker.join();
    EXPECT_TRUE(m_received.empty());

    QCoreApplication::processEvents();
    ASSERT_EQ(m_received.size(), 3u);
    for (uintptr_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(m_received[n - 1].message, WM_PRESETS_CHANGED);
        EXPECT_EQ(m_received[n - 1].wParam, n);
        EXPECT_EQ(m_received[n - 1].lParam, -static_cast<intptr_t>(n));
        EXPECT_EQ(m_received[n - 1].pThread, QThread::currentThread());
    }
}

TEST_F(QtMessageTargetTest, SendFromTheWindowThreadRunsAtOnce) {
    EXPECT_EQ(m_target.Send(WM_START_TASK, 3, 0), 7);
    ASSERT_EQ(m_received.size(), 1u);
    EXPECT_EQ(m_received[0].wParam, 3u);
}

// A closing window waits for its worker while the worker waits in Send: the
// close must release the worker, or neither ever goes on.
TEST_F(QtMessageTargetTest, CloseReleasesAWaitingSenderAndDropsLaterMessages) {
    std::atomic<bool> bReturned{false};
    intptr_t result = -1;
    std::thread worker([&] {
        result = m_target.Send(WM_SEEK_FOUND, 0, 0);
        bReturned = true;
    });
    while (!bReturned) {
        m_target.Close();  // the window thread runs no events meanwhile
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    EXPECT_EQ(result, 0);

    std::thread late([&] {
        EXPECT_EQ(m_target.Send(WM_SEEK_FOUND, 0, 0), 0);
        m_target.Post(WM_PRESETS_CHANGED, 0, 0);
    });
    late.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_received.empty());
}

TEST(QtTextSinkTest, TextsFromAWorkerArriveInOrderWithoutWaiting) {
    QLabel display("108.2MHz");
    CQtTextSink sink(&display);
    std::thread worker([&] {
        sink.SetText("87.50MHz");
        sink.SetText("87.60MHz");
    });
    worker.join();
    EXPECT_EQ(display.text(), "108.2MHz");
    QCoreApplication::processEvents();
    EXPECT_EQ(display.text(), "87.60MHz");
}

}  // namespace
