#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/instance/DisplayProbe.h"
#include "tests/support/TempDir.h"

namespace {

// Sets the display variables for one test and puts them back after it.
class DisplayProbeTest : public ::testing::Test {
protected:
    DisplayProbeTest() {
        for (const char* pName : kNames) {
            const char* pValue = std::getenv(pName);
            m_saved.emplace_back(pName, pValue ? std::optional<std::string>(pValue) : std::nullopt);
            unsetenv(pName);
        }
    }
    ~DisplayProbeTest() override {
        for (const auto& [pName, value] : m_saved) {
            value ? setenv(pName, value->c_str(), 1) : unsetenv(pName);
        }
    }

    static constexpr const char* kNames[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                             "XDG_RUNTIME_DIR"};
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

// The scheduler keeps the environment of the moment the task was made: a
// display that has gone since must read as none, not abort the program.
TEST_F(DisplayProbeTest, ADisplayThatIsNotThereCannotBeOpened) {
    std::string strWhy;
    EXPECT_FALSE(CDisplayProbe::CanOpenDisplay(&strWhy));
    EXPECT_EQ(strWhy, "no display is set");

    CTempDir dir;
    setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
    setenv("WAYLAND_DISPLAY", "wayland-gone", 1);
    setenv("DISPLAY", ":93", 1);
    EXPECT_FALSE(CDisplayProbe::CanOpenDisplay(&strWhy));
    EXPECT_EQ(strWhy, "the display wayland-gone cannot be opened");

    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(CDisplayProbe::CanOpenDisplay(&strWhy));
    EXPECT_EQ(strWhy, "the display :93 cannot be opened");

    EXPECT_FALSE(CDisplayProbe::IsDisplayless());
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_TRUE(CDisplayProbe::CanOpenDisplay());
    EXPECT_TRUE(CDisplayProbe::IsDisplayless());
}

}  // namespace
