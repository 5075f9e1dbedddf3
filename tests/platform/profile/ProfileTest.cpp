#include "platform/profile/Profile.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace {

TEST(ProfileTest, LivesWhereTheEnvironmentSays) {
    setenv("KESTREL_PROFILE", "/somewhere/own.ini", 1);
    EXPECT_EQ(CProfile::DefaultPath(), "/somewhere/own.ini");
    unsetenv("KESTREL_PROFILE");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(CProfile::DefaultPath(), "/cfg/Kestrel/Kestrel.ini");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/listener", 1);
    EXPECT_EQ(CProfile::DefaultPath(), "/home/listener/.config/Kestrel/Kestrel.ini");
}

TEST(ProfileTest, CreatesItsFolderAndKeepsSectionsApart) {
    CTempDir dir;
    CProfile profile(dir.File("config/Kestrel/Kestrel.ini"));
    EXPECT_EQ(profile.GetProfileString("SET", "PATH", "RadioRecord"), "RadioRecord");
    ASSERT_TRUE(profile.WriteProfileInt("SET", "BAND", 2));
    ASSERT_TRUE(profile.WriteProfileString("SET", "PATH", "/music/radio"));
    EXPECT_EQ(profile.GetProfileInt("SET", "BAND", 1), 2);
    EXPECT_EQ(profile.GetProfileInt("SETTING", "BAND", 1), 1);
    EXPECT_EQ(profile.GetProfileString("SET", "PATH"), "/music/radio");
    EXPECT_EQ(profile.GetProfileString("SET", "DeviceName"), "");
}

}  // namespace
