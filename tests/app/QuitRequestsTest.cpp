#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "app/QuitRequests.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

bool Pump(const int& nCount, int nWanted) {
    return WaitUntil([&] { return nCount >= nWanted; }, 5s,
                     [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
}

// A logout's quit request and the signals of a shutdown reach the handler,
// which decides how the run ends; the request itself ends no event loop.
TEST(QuitRequestsTest, SignalsAndTheApplicationsQuitRequestRunTheHandler) {
    int nRequests = 0;
    {
        CQuitRequests requests([&nRequests] { ++nRequests; });
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
        EXPECT_TRUE(Pump(nRequests, 1));
        for (int nSignal : {SIGTERM, SIGINT, SIGHUP}) {
            const int nBefore = nRequests;
            std::raise(nSignal);
            EXPECT_TRUE(Pump(nRequests, nBefore + 1)) << nSignal;
        }
    }
    EXPECT_EQ(nRequests, 4);
}

}  // namespace
