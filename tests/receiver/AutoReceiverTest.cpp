#include <gtest/gtest.h>

#include <memory>

#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SimClock.h"
#include "platform/hid/SimHidServices.h"
#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "platform/window/SimMessageTarget.h"
#include "receiver/AutoReceiver.h"
#include "receiver/HidReceiverFactory.h"
#include "receiver/V4l2ReceiverFactory.h"
#include "sim/receiver/SimReceiver.h"
#include "tests/support/TempDir.h"

// Whichever kind is plugged in serves, the HID receiver first; a listener
// who swaps radios is served without a restart, at the frequency left.
TEST(AutoReceiverTest, BecomesTheKindThatIsPluggedIn) {
    CTempDir dir;
    CProfile profile(dir.File("Kestrel.ini"));
    CSimClock clock;
    CSimHidServices hid;
    const int nHid = hid.AddInterface(CSimReceiver::Interface(std::make_shared<CSimReceiver>()));
    hid.Unplug(nHid);
    CSimV4l2Services v4l2;
    const int nRadio = v4l2.AddRadio({});
    CSimAudioCaptureServices capture;
    CSimAudioOutputServices output;
    CHidReceiverFactory hidFactory(hid);
    CV4l2ReceiverFactory v4l2Factory({v4l2, capture, output});
    CSimMessageTarget window;

    CAutoReceiver receiver({&hidFactory, &v4l2Factory}, profile, clock);
    EXPECT_EQ(receiver.ActiveKind(), 1u);
    ASSERT_EQ(receiver.CountDevices(), 1);
    ASSERT_TRUE(receiver.Open(&window));
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.Tune(8810);
    EXPECT_EQ(v4l2.TunedHz(nRadio), 88'100'000u);

    // The HID receiver comes while the radio plays: the open one stays.
    hid.Plug(nHid);
    EXPECT_EQ(receiver.CountDevices(), 1);
    EXPECT_EQ(receiver.ActiveKind(), 1u);

    v4l2.Unplug(nRadio);
    EXPECT_EQ(receiver.CountDevices(), 0);
    receiver.Close();
    ASSERT_EQ(receiver.CountDevices(), 1);
    EXPECT_EQ(receiver.ActiveKind(), 0u);
    EXPECT_EQ(receiver.Band(), CReceiver::BAND_FM);
    EXPECT_EQ(receiver.Frequency(CReceiver::BAND_FM), 8810u);
    ASSERT_TRUE(receiver.Open(&window));
    receiver.Close();
}
