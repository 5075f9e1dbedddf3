#include <gtest/gtest.h>

#include <memory>

#include "platform/hid/SimHidServices.h"
#include "platform/hid/UdevDeviceNotices.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"

namespace {

int Notices(const CSimMessageTarget& window) {
    return window.Count(WM_DEVICECHANGE, false);
}

TEST(DeviceNoticesTest, SimulatedPlugAndUnplugPostUntilStopped) {
    CSimHidServices services;
    CSimMessageTarget window;
    const int nBefore = services.AddInterface({});  // laid out before Start: no notice
    ASSERT_TRUE(services.Start(&window));
    EXPECT_EQ(Notices(window), 0);

    const int nId = services.AddInterface({});
    EXPECT_EQ(Notices(window), 1);
    services.Unplug(nId);
    services.Unplug(nId);  // already out: nothing changed
    EXPECT_EQ(Notices(window), 2);
    services.Plug(nId);
    services.Plug(nId);
    EXPECT_EQ(Notices(window), 3);
    EXPECT_EQ(window.Messages().back().wParam, DBT_DEVNODES_CHANGED);

    services.Stop();
    services.Unplug(nBefore);
    EXPECT_EQ(Notices(window), 3);
}

// Where there is no udev to listen to, Start() fails and says so; where there
// is, the listening thread ends at once on Stop and on destruction.
TEST(DeviceNoticesTest, UdevListenerStartsAndStopsCleanly) {
    CSimMessageTarget first;
    CSimMessageTarget second;
    {
        CUdevDeviceNotices notices;
        const bool bListening = notices.Start(&first);
        EXPECT_EQ(notices.Start(&second), bListening);
        notices.Stop();
        notices.Stop();
        EXPECT_EQ(notices.Start(&first), bListening);
    }
    auto pNotices = std::make_unique<CUdevDeviceNotices>();
    pNotices->Start(&first);
    pNotices.reset();
}

}  // namespace
