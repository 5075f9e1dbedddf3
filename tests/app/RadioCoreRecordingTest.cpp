#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "tests/app/CoreRig.h"
#include "tests/platform/media/MediaFileProbe.h"

namespace {

using namespace std::chrono_literals;

std::string Text(const CDbValue& value) {
    return std::holds_alternative<std::string>(value) ? std::get<std::string>(value) : "<not text>";
}

// The whole way a listener takes: the program opens on the receiver and the
// sound card, tunes a station, records two seconds as WAV and stops.
TEST(RadioCoreRecordingTest, TwoSecondWavRecordingOfATunedStationIsCatalogued) {
    CCoreRig rig;
    rig.UseRealClock();
    rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 1);
    CRadioCore& core = rig.Core();
    ASSERT_TRUE(rig.m_boxes.Shown().empty());
    ASSERT_EQ(core.DevicePresent(), 1);
    ASSERT_TRUE(core.FileList().IsOpen());
    EXPECT_EQ(core.AudioGraph().PinName(), "Line");

    rig.Tuner().SetBand(CTuner::BAND_FM);
    ASSERT_TRUE(rig.Tuner().Tune(8000));
    ASSERT_TRUE(rig.m_pReceiver->WaitForReports(1, 2000ms));

    ASSERT_TRUE(core.StartRecording());
    std::this_thread::sleep_for(2s);
    core.StopRecording();

    const std::string path = core.RecordFile();
    ASSERT_TRUE(std::filesystem::exists(path));
    const SWavHeader header = ReadWavHeader(path);
    ASSERT_TRUE(header.bValid);
    EXPECT_EQ(header.nChannels, 2);
    EXPECT_EQ(header.nSampleRate, 11025);
    EXPECT_NEAR(header.nDataBytes / 44100.0, 2.0, 0.4);
    const SDiscovered discovered = Discover(path);
    ASSERT_TRUE(discovered.bOk);
    EXPECT_NEAR(discovered.dDuration, 2.0, 0.4);

    const SDbResult rows = rig.m_dataSource.Query(
        "select Channel, ChannelName, BeginTime, Duration, Memo, FileName from FileList");
    ASSERT_EQ(rows.m_rows.size(), 1u);
    const auto& row = rows.m_rows[0];
    EXPECT_EQ(Text(row[0]), "FM 80.00MHz");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(row[1]) || Text(row[1]).empty());
    EXPECT_TRUE(std::regex_match(Text(row[2]), std::regex(R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d)")));
    EXPECT_TRUE(Text(row[3]) == "00:00:02" || Text(row[3]) == "00:00:03") << Text(row[3]);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(row[4]) || Text(row[4]).empty());
    EXPECT_EQ(Text(row[5]), path);
    EXPECT_EQ(std::filesystem::path(path).filename().string().size(), 14u + 4u);
}

}  // namespace
