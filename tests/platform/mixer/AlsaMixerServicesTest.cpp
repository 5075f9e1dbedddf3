#include <filesystem>

#include <gtest/gtest.h>

#include "mixer/MixerLine.h"
#include "platform/mixer/AlsaMixerServices.h"
#include "platform/mixer/ThreadFdWatcher.h"
#include "tests/support/TraceCapture.h"

namespace {

bool MachineHasSoundCards() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
        if (entry.path().filename().string().starts_with("controlC")) {
            return true;
        }
    }
    return false;
}

TEST(AlsaMixerServicesTest, MachineWithoutSoundCardsHasNoMixerDevices) {
    if (MachineHasSoundCards()) {
        GTEST_SKIP() << "this machine has sound cards";
    }
    CTraceCapture trace;
    CThreadFdWatcher watcher;
    CAlsaMixerServices alsa(watcher);

    EXPECT_EQ(alsa.GetNumDevs(), 0u);
    SMixerCaps caps;
    EXPECT_FALSE(alsa.GetDevCaps(0, caps));
    EXPECT_EQ(alsa.Open(0, nullptr), nullptr);

    CMixerLine line(alsa);
    EXPECT_FALSE(line.SelectLine(nullptr, 0, ""));
    if (CTraceCapture::kEnabled) {
        ASSERT_FALSE(trace.Entries().empty());
        EXPECT_EQ(trace.Entries().back().strMessage, "No mixer device present");
    }
    std::vector<std::string> names;
    std::vector<uint32_t> types;
    EXPECT_EQ(line.ListDevices(names), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(line.ListSpeakerSources(0, names, types), 0);
    EXPECT_TRUE(types.empty());
}

}  // namespace
