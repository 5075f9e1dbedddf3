#include <gtest/gtest.h>

#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "tests/support/TempDir.h"

// The SDR's options are typed by hand into the profile: what is not a
// plain number within reason is the default, never half of one.
TEST(SettingsTest, SdrOptionsTakeOnlyPlainNumbersWithinReason) {
    CTempDir dir;
    CProfile profile(dir.File("Kestrel.ini"));
    CSettings settings(profile);
    EXPECT_FALSE(settings.SdrGain().has_value()) << "automatic by default";
    EXPECT_EQ(settings.SdrCorrection(), 0);
    EXPECT_EQ(settings.SdrUpconverter(), 0);

    profile.WriteProfileString("SET", "SDRGAIN", "29.7");
    profile.WriteProfileString("SET", "SDRPPM", "-12");
    profile.WriteProfileString("SET", "SDRUPCONVERTER", "125000000");
    EXPECT_DOUBLE_EQ(settings.SdrGain().value_or(-1), 29.7);
    EXPECT_EQ(settings.SdrCorrection(), -12);
    EXPECT_EQ(settings.SdrUpconverter(), 125e6);

    for (const char* pOdd : {"auto", "30dB", "3 0", "nan", "inf", "-3", "1e9", ""}) {
        profile.WriteProfileString("SET", "SDRGAIN", pOdd);
        EXPECT_FALSE(settings.SdrGain().has_value()) << pOdd;
    }
    profile.WriteProfileString("SET", "SDRPPM", "9999");
    profile.WriteProfileString("SET", "SDRUPCONVERTER", "-125000000");
    EXPECT_EQ(settings.SdrCorrection(), 0);
    EXPECT_EQ(settings.SdrUpconverter(), 0);
}
