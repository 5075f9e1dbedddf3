#include <gtest/gtest.h>

#include <memory>

#include "platform/desktop/DBusDesktopNotifier.h"
#include "platform/desktop/SimDesktopNotifier.h"
#include "tests/platform/desktop/FakeNotificationService.h"
#include "tests/platform/desktop/PrivateBus.h"
#include "tests/platform/desktop/ProcessEventsUntil.h"
#include "tests/support/TraceCapture.h"

namespace {

const QStringList kMarkupCapabilities = {QStringLiteral("body"), QStringLiteral("body-markup")};

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bus.IsRunning()) << m_bus.Error(); }

    QString Address() const { return QString::fromStdString(m_bus.Address()); }

    CPrivateBus m_bus;
    CTraceCapture m_trace;
};

int Urgency(const SReceivedNotification& notification) {
    return notification.hints.value(QStringLiteral("urgency"), -1).toInt();
}

TEST_F(DesktopNotifierTest, NotificationsArriveInOrderWithKestrelsNameIconAndUrgency) {
    CFakeNotificationService service(Address(), kMarkupCapabilities);
    ASSERT_TRUE(service.IsServing());
    CDBusDesktopNotifier notifier(m_bus.Address());

    // A service that reads markup must show the station's name as it is.
    EXPECT_TRUE(notifier.Notify("Recording finished", "R&B <Live> 80.0 MHz",
                                ENotificationUrgency::Critical));
    EXPECT_TRUE(notifier.Notify("Recording missed", "Task 2", ENotificationUrgency::Low));
    ASSERT_TRUE(ProcessEventsUntil([&] { return service.Received().size() == 2; }));
    EXPECT_TRUE(notifier.Notify("Recording failed", "Task 3", ENotificationUrgency::Normal));
    ASSERT_TRUE(ProcessEventsUntil([&] { return service.Received().size() == 3; }));

    const auto& received = service.Received();
    EXPECT_EQ(received[0].strAppName, "Kestrel");
    EXPECT_EQ(received[0].strIcon, "kestrel");
    EXPECT_EQ(received[0].strSummary, "Recording finished");
    EXPECT_EQ(received[0].strBody, "R&amp;B &lt;Live&gt; 80.0 MHz");
    EXPECT_EQ(Urgency(received[0]), 2);
    EXPECT_FALSE(received[0].hints.contains(QStringLiteral("desktop-entry")));
    EXPECT_EQ(received[1].strSummary, "Recording missed");
    EXPECT_EQ(Urgency(received[1]), 0);
    EXPECT_EQ(received[2].strBody, "Task 3");
    EXPECT_EQ(Urgency(received[2]), 1);
    EXPECT_TRUE(m_trace.Lines().empty());
}

TEST_F(DesktopNotifierTest, PlainTextServiceGetsTheBodyUnescapedAndTheConfiguredIdentity) {
    CFakeNotificationService service(Address(), {QStringLiteral("body")});
    ASSERT_TRUE(service.IsServing());
    SDesktopIdentity identity;
    identity.strAppName = "Kestrel Radio";
    identity.strIconName = "/opt/kestrel/kestrel.svg";
    identity.strDesktopEntry = "org.example.Kestrel";
    CDBusDesktopNotifier notifier(m_bus.Address(), identity);

    // Text that is not UTF-8 still shows, with the bad byte replaced.
    EXPECT_TRUE(notifier.Notify("R&B", "R&B <Live> \xff", ENotificationUrgency::Normal));
    ASSERT_TRUE(ProcessEventsUntil([&] { return service.Received().size() == 1; }));

    const SReceivedNotification& received = service.Received().front();
    EXPECT_EQ(received.strAppName, "Kestrel Radio");
    EXPECT_EQ(received.strIcon, "/opt/kestrel/kestrel.svg");
    EXPECT_EQ(received.strSummary, "R&B");
    EXPECT_EQ(received.strBody, QString::fromUtf8("R&B <Live> \xef\xbf\xbd"));
    EXPECT_EQ(received.hints.value(QStringLiteral("desktop-entry")).toString(),
              "org.example.Kestrel");
}

TEST_F(DesktopNotifierTest, WithoutServiceNotifyFailsQuietlyUntilOneAppears) {
    CDBusDesktopNotifier notifier(m_bus.Address());
    EXPECT_FALSE(notifier.Notify("Recording finished", "Task 1", ENotificationUrgency::Normal));
    EXPECT_FALSE(notifier.Notify("Recording finished", "Task 2", ENotificationUrgency::Normal));
    ASSERT_EQ(m_trace.Lines().size(), 1u);
    EXPECT_NE(m_trace.Lines()[0].find("no notification service"), std::string::npos);

    CFakeNotificationService service(Address(), kMarkupCapabilities);
    ASSERT_TRUE(service.IsServing());
    EXPECT_TRUE(notifier.Notify("Recording finished", "Task 3", ENotificationUrgency::Normal));
    ASSERT_TRUE(ProcessEventsUntil([&] { return service.Received().size() == 1; }));
    EXPECT_EQ(service.Received()[0].strBody, "Task 3");
}

TEST_F(DesktopNotifierTest, RefusalsOfTheServiceAndServicesThatFailToStartAreTraced) {
    {
        CFakeNotificationService service(Address(), kMarkupCapabilities);
        ASSERT_TRUE(service.IsServing());
        service.SetRefusing(true);
        CDBusDesktopNotifier notifier(m_bus.Address());
        EXPECT_TRUE(notifier.Notify("Recording finished", "Task 1", ENotificationUrgency::Normal));
        ASSERT_TRUE(ProcessEventsUntil([&] { return !m_trace.Lines().empty(); }));
        EXPECT_NE(m_trace.Lines()[0].find("refused by the test"), std::string::npos);
    }

    // The bus lists a service it can start; handing over succeeds, the start
    // does not.
    CPrivateBus startingBus("org.freedesktop.Notifications");
    ASSERT_TRUE(startingBus.IsRunning()) << startingBus.Error();
    CDBusDesktopNotifier notifier(startingBus.Address());
    EXPECT_TRUE(notifier.Notify("Recording finished", "Task 1", ENotificationUrgency::Normal));
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_trace.Lines().size() == 2; }));
    EXPECT_NE(m_trace.Lines()[1].find("refused a notification"), std::string::npos);
}

TEST_F(DesktopNotifierTest, WithoutBusNothingFailsAndNothingHangs) {
    CDBusDesktopNotifier absent(m_bus.AbsentAddress());
    EXPECT_FALSE(absent.Notify("Recording finished", "Task 1", ENotificationUrgency::Normal));
    EXPECT_FALSE(absent.Notify("Recording finished", "Task 2", ENotificationUrgency::Normal));
    EXPECT_EQ(m_trace.Lines().size(), 1u);

    // The session bus the environment names is not there either.
    CDBusDesktopNotifier session;
    EXPECT_FALSE(session.Notify("Recording finished", "Task 1", ENotificationUrgency::Normal));
    EXPECT_EQ(m_trace.Lines().size(), 2u);

    // A bus that goes away under a working notifier.
    auto pService = std::make_unique<CFakeNotificationService>(Address(), kMarkupCapabilities);
    CDBusDesktopNotifier notifier(m_bus.Address());
    EXPECT_TRUE(notifier.Notify("Recording finished", "Task 1", ENotificationUrgency::Normal));
    ASSERT_TRUE(ProcessEventsUntil([&] { return pService->Received().size() == 1; }));
    pService.reset();
    m_bus.Stop();
    EXPECT_FALSE(notifier.Notify("Recording finished", "Task 2", ENotificationUrgency::Normal));
    EXPECT_FALSE(notifier.Notify("Recording finished", "Task 3", ENotificationUrgency::Normal));
    EXPECT_EQ(m_trace.Lines().size(), 3u);
}

TEST(SimDesktopNotifierTest, KeepsWhatWasShownAndCanLoseItsService) {
    CTraceCapture trace;
    CSimDesktopNotifier notifier;
    EXPECT_TRUE(notifier.Notify("Recording finished", "Task 1", ENotificationUrgency::Critical));
    notifier.SetServiceAvailable(false);
    EXPECT_FALSE(notifier.Notify("Recording finished", "Task 2", ENotificationUrgency::Normal));
    notifier.SetServiceAvailable(true);
    EXPECT_TRUE(notifier.Notify("Recording missed", "Task 3", ENotificationUrgency::Low));

    const std::vector<SDesktopNotification> shown = notifier.Notifications();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].strSummary, "Recording finished");
    EXPECT_EQ(shown[0].strBody, "Task 1");
    EXPECT_EQ(shown[0].urgency, ENotificationUrgency::Critical);
    EXPECT_EQ(shown[1].strBody, "Task 3");
    notifier.ClearNotifications();
    EXPECT_TRUE(notifier.Notifications().empty());
}

}  // namespace
