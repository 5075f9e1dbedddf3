#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

#include "platform/profile/Settings.h"
#include "presets/PresetStore.h"
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

// Another player shows the station and the start, and a task's memo: the
// catalogue keeps them beside the file, and the tags travel in it. GStreamer
// reads every tag back but ASF's: from there it reads title and artist, and
// the memo is the file's "Comment" attribute, which Windows' players show.
TEST(RadioCoreRecordingTest, EveryFormatDecodesAndCarriesTheStationTheStartAndTheMemo) {
    struct SFormat {
        int nType;
        const char* pExtension;
        const char* pContainer;  // the start of the container's caps
    };
    for (const SFormat& format :
         {SFormat{1, ".wav", "audio/x-wav"}, SFormat{0, ".wma", "video/x-ms-asf"},
          SFormat{2, ".flac", "audio/x-flac"}, SFormat{3, ".opus", "audio/ogg"},
          SFormat{4, ".mp3", "application/x-id3"}}) {
        SCOPED_TRACE(format.pExtension);
        CCoreRig rig;
        rig.UseRealClock();
        rig.m_profile.WriteProfileInt("SET", "RECOTYPE", format.nType);
        CPresetStore(rig.m_profile)
            .WriteSlot(CPresetStore::BAND_FM, 0,
                       CChannelWord::Of(CPresetStore::BAND_FM, 8000).Value(), "Kestrel FM");
        CRadioCore& core = rig.Core();
        rig.Tuner().SetBand(CTuner::BAND_FM);
        ASSERT_TRUE(rig.Tuner().Tune(8000));
        core.SetTaskMemo("Evening concert");
        ASSERT_TRUE(core.StartRecording());
        std::this_thread::sleep_for(1s);
        core.StopRecording();
        EXPECT_EQ(std::filesystem::path(core.RecordFile()).extension(), format.pExtension);

        const SDbResult rows =
            rig.m_dataSource.Query("select Channel, ChannelName, Memo from FileList");
        ASSERT_EQ(rows.m_rows.size(), 1u);
        EXPECT_EQ(Text(rows.m_rows[0][0]), "FM 80.00MHz");
        EXPECT_EQ(Text(rows.m_rows[0][1]), "Kestrel FM");
        EXPECT_EQ(Text(rows.m_rows[0][2]), "Evening concert");

        const SDiscovered discovered = Discover(core.RecordFile());
        ASSERT_TRUE(discovered.bOk);
        EXPECT_EQ(discovered.strContainerCaps.rfind(format.pContainer, 0), 0u)
            << discovered.strContainerCaps;
        EXPECT_NEAR(discovered.dDuration, 1.0, 0.4);
        EXPECT_EQ(discovered.nChannels, 2);
        EXPECT_EQ(discovered.strArtist, "Kestrel FM");
        EXPECT_EQ(discovered.strTitle.rfind("Kestrel FM 20", 0), 0u) << discovered.strTitle;
        if (format.nType != 0) {
            EXPECT_EQ(discovered.strComment, "Evening concert");
            std::tm local{};
            const std::time_t tStart = core.RecordStart();
            localtime_r(&tStart, &local);
            EXPECT_EQ(discovered.nYear, local.tm_year + 1900);
            continue;
        }
        std::ifstream file(core.RecordFile(), std::ios::binary);
        const std::string strBytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
        std::string strUtf16;
        for (char c : std::string("Evening concert")) {
            strUtf16 += c;
            strUtf16 += '\0';
        }
        EXPECT_NE(strBytes.find(strUtf16), std::string::npos);
    }
}

// Two recordings in the same second (the clock set back in autumn, or a
// pattern without the time) keep both files.
TEST(RadioCoreRecordingTest, TheNamePatternNamesTheFileAndNeverReplacesOne) {
    CCoreRig rig;
    rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 1);
    CSettings(rig.m_profile).SetNamePattern("{station} {memo} {band}");
    CPresetStore(rig.m_profile)
        .WriteSlot(CPresetStore::BAND_FM, 0, CChannelWord::Of(CPresetStore::BAND_FM, 8000).Value(),
                   "Kestrel/FM");
    CRadioCore& core = rig.Core();
    rig.Tuner().SetBand(CTuner::BAND_FM);
    ASSERT_TRUE(rig.Tuner().Tune(8000));
    core.SetTaskMemo("News: 6 o'clock");
    std::vector<std::string> names;
    for (int n = 0; n < 2; ++n) {
        ASSERT_TRUE(core.StartRecording());
        std::this_thread::sleep_for(300ms);
        core.StopRecording();
        names.push_back(std::filesystem::path(core.RecordFile()).filename().string());
        EXPECT_TRUE(std::filesystem::exists(core.RecordFile()));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Kestrel_FM News_ 6 o'clock FM.wav",
                                               "Kestrel_FM News_ 6 o'clock FM (2).wav"}));
    const SDbResult rows = rig.m_dataSource.Query("select FileName from FileList");
    EXPECT_EQ(rows.m_rows.size(), 2u);
}

}  // namespace
