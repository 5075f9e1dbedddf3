#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/db/DBException.h"
#include "platform/db/DbDriver.h"
#include "platform/mixer/MixerTypes.h"
#include "presets/PresetStore.h"
#include "tests/app/CoreRig.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kStamp = "20070501140309";  // the simulated clock's start

class RadioCoreTest : public ::testing::Test {
protected:
    std::string FileListColumn(const char* pColumn) {
        const SDbResult result =
            m_rig.m_dataSource.Query(std::string("select ") + pColumn + " from FileList");
        if (result.m_rows.size() != 1) {
            return "<" + std::to_string(result.m_rows.size()) + " rows>";
        }
        return std::get<std::string>(result.m_rows[0][0]);
    }

    CCoreRig m_rig;
};

// A driver whose every connection attempt raises instead of failing.
class CRaisingDriver : public CDbDriver {
public:
    std::unique_ptr<CDbConnection> Connect(const std::string&) override {
        throw CDBException("the data source is gone");
    }
};

TEST_F(RadioCoreTest, RecordFileIsNamedByItsStartSecondInTheRecordFolder) {
    CRadioCore& core = m_rig.Core();
    m_rig.m_profile.WriteProfileString("SET", "PATH", "/srv/radio/");
    EXPECT_EQ(core.RecordFileName(m_rig.m_clock.Now(), false),
              std::string("/srv/radio/") + kStamp + ".wma");
    m_rig.m_profile.WriteProfileString("SET", "PATH", "/srv/radio");
    EXPECT_EQ(core.RecordFileName(m_rig.m_clock.Now(), true),
              std::string("/srv/radio/") + kStamp + ".wav");

    m_rig.m_profile.WriteProfileString("SET", "PATH", "");
    const char* pHome = std::getenv("HOME");
    ASSERT_NE(pHome, nullptr);
    EXPECT_EQ(core.RecordFolder(), std::string(pHome) + "/RadioRecord");
}

// The second of two starts in one second would overwrite the first's file,
// which its catalogue row still names: it gets a name of its own.
TEST_F(RadioCoreTest, RecordTypeChoosesWavOrWmaAndTwoStartsInOneSecondKeepBothFiles) {
    CRadioCore& core = m_rig.Core();
    m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 1);
    ASSERT_TRUE(core.StartRecording());
    const std::string first = core.RecordFile();
    core.StopRecording();
    EXPECT_EQ(first, m_rig.RecordFolder() + "/" + kStamp + ".wav");
    EXPECT_TRUE(std::filesystem::exists(first));

    ASSERT_TRUE(core.StartRecording());
    EXPECT_EQ(core.RecordFile(), m_rig.RecordFolder() + "/" + kStamp + " (2).wav");
    core.StopRecording();
    EXPECT_TRUE(std::filesystem::exists(first));

    m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 0);
    ASSERT_TRUE(core.StartRecording());
    EXPECT_EQ(core.RecordFile(), m_rig.RecordFolder() + "/" + kStamp + ".wma");
    core.StopRecording();
}

TEST_F(RadioCoreTest, CatalogueRowCarriesChannelStartAndDurationOfTheRecording) {
    CRadioCore& core = m_rig.Core();
    m_rig.Tuner().SetBand(CTuner::BAND_FM);
    m_rig.Tuner().SetFrequency(CTuner::BAND_FM, 10090);
    EXPECT_EQ(core.ChannelText(), "FM 100.90MHz");
    m_rig.Tuner().SetBand(CTuner::BAND_AM);
    m_rig.Tuner().SetFrequency(CTuner::BAND_AM, 1629);
    EXPECT_EQ(core.ChannelText(), "AM 1629KHz");

    core.SetScheduled(1);
    ASSERT_TRUE(core.StartRecording());
    EXPECT_EQ(core.Recording(), 1);
    m_rig.m_clock.Advance(1h + 2min + 3s);
    core.StopRecording();

    EXPECT_EQ(core.Recording(), 0);
    EXPECT_EQ(core.Scheduled(), 0);
    EXPECT_EQ(FileListColumn("Channel"), "AM 1629KHz");
    EXPECT_EQ(FileListColumn("BeginTime"), "07-05-01 14:03:09");
    EXPECT_EQ(FileListColumn("Duration"), "01:02:03");
    EXPECT_EQ(FileListColumn("FileName"), core.RecordFile());
    EXPECT_TRUE(m_rig.m_boxes.Shown().empty());

    core.StopRecording();  // none runs: no second row
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
}

// The station's name travels with the recording; a stopped recording keeps
// its length instead of growing with the clock.
TEST_F(RadioCoreTest, ARecordingOfANamedPresetCarriesItsNameAndKeepsItsLength) {
    CPresetStore(m_rig.m_profile)
        .WriteSlot(CPresetStore::BAND_FM, 4, CPresetStore::kFmBit | 8250, "Bravo Radio");
    CRadioCore& core = m_rig.Core();
    m_rig.Tuner().SetBand(CTuner::BAND_FM);
    m_rig.Tuner().SetFrequency(CTuner::BAND_FM, 8250);
    ASSERT_TRUE(core.StartRecording());
    m_rig.m_clock.Advance(90s);
    EXPECT_EQ(core.RecordedSeconds(), 90);
    core.StopRecording();
    m_rig.m_clock.Advance(1h);
    EXPECT_EQ(core.RecordedSeconds(), 90);
    EXPECT_EQ(FileListColumn("ChannelName"), "Bravo Radio");
    EXPECT_EQ(FileListColumn("Duration"), "00:01:30");
}

TEST_F(RadioCoreTest, RecordFolderIsMadeWithItsParentsOrTheStartFails) {
    const std::string nested = m_rig.m_dir.File("a/b/c");
    m_rig.m_profile.WriteProfileString("SET", "PATH", nested);
    CRadioCore& core = m_rig.Core();
    ASSERT_TRUE(core.StartRecording());
    core.StopRecording();
    EXPECT_TRUE(std::filesystem::is_directory(nested));

    std::ofstream(m_rig.m_dir.File("plain")) << "a file, not a folder";
    m_rig.m_profile.WriteProfileString("SET", "PATH", m_rig.m_dir.File("plain/records"));
    EXPECT_FALSE(core.StartRecording());
    EXPECT_EQ(core.Recording(), 0);
    EXPECT_EQ(core.RecordFile(), m_rig.m_dir.File("plain/records/") + kStamp + ".wma");
    EXPECT_TRUE(m_rig.m_boxes.Shown().empty());  // the main window reports it
}

TEST_F(RadioCoreTest, DefaultInputIsTheFirstLineOrMicrophoneOfTheSpeakersMix) {
    SSimSoundCardLayout layout = CCoreRig::DefaultLayout();
    layout.inputs = {{MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD"},
                     {MIXERLINE_COMPONENTTYPE_SRC_LINE, "Line"},
                     {MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, "Mic"}};
    m_rig.Card(layout);
    CRadioCore& core = m_rig.Core();
    EXPECT_TRUE(core.HasMixerInput());

    std::string strDevice = "unchanged";
    std::string strPort = "unchanged";
    core.FindDefaultInput(strDevice, strPort);
    EXPECT_EQ(strDevice, layout.strProductName);
    EXPECT_EQ(strPort, "Line");
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "DeviceName"), layout.strProductName);
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "PinName"), "Line");
    EXPECT_EQ(m_rig.m_profile.GetProfileInt("SET", "PinType", 0), 4098);

    // Once a device is stored, the search no longer rewrites the profile.
    m_rig.m_profile.WriteProfileString("SET", "DeviceName", "Chosen Card");
    core.FindDefaultInput(strDevice, strPort);
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "DeviceName"), "Chosen Card");
}

TEST_F(RadioCoreTest, CardWithoutLineOrMicrophoneHasNoMixerInputAndNamesStay) {
    SSimSoundCardLayout layout = CCoreRig::DefaultLayout();
    layout.inputs = {{MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, "CD"}};
    m_rig.Card(layout);
    CRadioCore& core = m_rig.Core();
    EXPECT_FALSE(core.HasMixerInput());
    std::string strDevice = "kept";
    std::string strPort = "kept";
    core.FindDefaultInput(strDevice, strPort);
    EXPECT_EQ(strDevice, "kept");
    EXPECT_EQ(strPort, "kept");
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SET", "DeviceName"), "");
}

class RadioCoreCaptureTest : public RadioCoreTest {
protected:
    RadioCoreCaptureTest() {
        // Two cards; the profile names the second, and so does its mixer.
        m_rig.m_media.SetCaptureDevices(
            {CSimMediaServices::DefaultCaptureDevice(),
             {"Second Card",
              {{"Line In", EPinDirection::Input}, {"Capture", EPinDirection::Output}}}});
        SSimSoundCardLayout layout = CCoreRig::DefaultLayout();
        layout.strProductName = "Second Card";
        m_rig.Card(layout);
        m_rig.m_profile.WriteProfileString("SET", "DeviceName", "Second Card");
        m_rig.m_profile.WriteProfileString("SET", "PinName", "Line In");
    }
};

TEST_F(RadioCoreCaptureTest, StoredDeviceRecords) {
    ASSERT_TRUE(m_rig.Core().StartRecording());
    m_rig.Core().StopRecording();
    EXPECT_EQ(m_rig.m_media.LastCaptureRequest().strDevice, "Second Card");
}

TEST_F(RadioCoreCaptureTest, VistaBranchRecordsFromCaptureDeviceZero) {
    m_rig.m_bVista = true;
    ASSERT_TRUE(m_rig.Core().StartRecording());
    m_rig.Core().StopRecording();
    EXPECT_EQ(m_rig.m_media.LastCaptureRequest().strDevice,
              CSimMediaServices::DefaultCaptureDevice().strName);
    EXPECT_EQ(m_rig.Core().AudioGraph().PinIndex(), -1);
}

TEST_F(RadioCoreTest, InitChoosesTheLinePinWithoutStoringIt) {
    struct SCase {
        std::vector<std::string> pins;
        int nChosen;
    };
    const std::vector<SCase> cases = {
        {{"Mic", "Line", "CD"}, 1},
        {{"Microphone", "\xE7\xBA\xBF\xE8\xB7\xAF\xE8\xBE\x93\xE5\x85\xA5"}, 1},  // 线路输入
        {{"Mic", "Stereo Mix", "record master"}, 2},
        {{"Mic", "CD"}, 0},
    };
    for (const SCase& c : cases) {
        CCoreRig rig;
        std::vector<SSimPin> pins;
        for (const std::string& name : c.pins) {
            pins.push_back({name, EPinDirection::Input});
        }
        rig.m_media.SetCaptureDevices({{"Card", pins}});
        CRadioCore& core = rig.Core();
        EXPECT_EQ(core.AudioGraph().PinIndex(), c.nChosen) << c.pins[0];
        EXPECT_EQ(core.AudioGraph().PinName(), c.pins[static_cast<size_t>(c.nChosen)]);
        EXPECT_EQ(core.AudioGraph().DeviceName(), "Card");
        EXPECT_EQ(rig.m_profile.GetProfileString("SET", "PinName"), "");
        EXPECT_TRUE(rig.m_boxes.Shown().empty());
    }
}

TEST_F(RadioCoreTest, NoCaptureDeviceIsReportedAndTheReceiverIsStillOpened) {
    m_rig.m_media.SetCaptureDevices({});
    CRadioCore& core = m_rig.Core();
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].text, "Can't find audio device");
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].caption, "Kestrel Radio");
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].icon, CMessageBoxes::EIcon::Error);
    EXPECT_EQ(core.DevicePresent(), 1);
    EXPECT_TRUE(m_rig.Hid().Device().IsOpen());
}

TEST_F(RadioCoreTest, CheckDeviceFollowsUnplugAndReplug) {
    CRadioCore& core = m_rig.Core();
    EXPECT_EQ(core.DevicePresent(), 1);
    EXPECT_EQ(core.CheckDevice(), 1);  // still there: nothing changes

    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    EXPECT_EQ(core.CheckDevice(), 0);
    EXPECT_FALSE(m_rig.Hid().Device().IsOpen());

    m_rig.m_hid.Plug(m_rig.m_nReceiver);
    EXPECT_EQ(core.CheckDevice(), 1);
    EXPECT_TRUE(m_rig.Hid().Device().IsOpen());
    EXPECT_EQ(m_rig.Hid().Device().NotifyWindow(), &m_rig.m_window);
    EXPECT_TRUE(m_rig.Tuner().Tune(8000));
}

TEST_F(RadioCoreTest, InputMuteLetsTheReceiverBeHeardExactlyWhileItIsThere) {
    m_rig.m_profile.WriteProfileInt("SET", "PinType", 4098);
    CSimSoundCard& card = m_rig.Card();
    CRadioCore& core = m_rig.Core();
    core.SelectInputMute();
    EXPECT_FALSE(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_LINE));

    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    core.CheckDevice();
    core.SelectInputMute();
    EXPECT_TRUE(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_LINE));

    // The microphone is the default port type.
    m_rig.m_profile.WriteProfileString("SET", "PinType", "");
    m_rig.m_hid.Plug(m_rig.m_nReceiver);
    core.CheckDevice();
    core.SelectInputMute();
    EXPECT_FALSE(card.IsInputMuted(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE));
}

TEST_F(RadioCoreTest, MissingTablesAreReportedOnceEachAndAStopLeavesTheFileWithoutARow) {
    m_rig.m_dataSource.Execute("drop table FileList");
    m_rig.m_dataSource.Execute("drop table Task");
    CRadioCore& core = m_rig.Core();
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 2u);
    for (const SShownMessageBox& box : m_rig.m_boxes.Shown()) {
        EXPECT_EQ(box.text, "Can't open database");
        EXPECT_EQ(box.caption, "Kestrel Radio");
    }
    m_rig.m_boxes.Clear();

    m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", 1);
    ASSERT_TRUE(core.StartRecording());
    core.SetScheduled(1);
    core.StopRecording();
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_FALSE(m_rig.m_boxes.Shown()[0].text.empty());
    EXPECT_EQ(core.Recording(), 0);
    EXPECT_EQ(core.Scheduled(), 0);
    EXPECT_TRUE(std::filesystem::exists(core.RecordFile()));
}

TEST_F(RadioCoreTest, DatabaseLayerThatRaisesStillGivesOneBoxPerTable) {
    CRaisingDriver driver;
    SRadioServices services = m_rig.Services();
    CRadioCore core({services.receivers, services.deviceNotices, services.mixer, services.media,
                     driver, services.messageBoxes, services.scheduler, services.clock,
                     services.notifier, services.sleepInhibitor, false},
                    m_rig.m_profile);
    core.Init(&m_rig.m_window);
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 2u);
    EXPECT_EQ(m_rig.m_boxes.Shown()[1].text, "Can't open database");
    EXPECT_EQ(core.DevicePresent(), 1);  // Init went on
}

TEST_F(RadioCoreTest, TextsComeFromTheLanguageFileInTheCurrentFolder) {
    // SET/LANGUAGE 1, the default, names its language by LANGUAGE_2.
    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nLANGUAGE_2=Deutsch\n[Deutsch]\nRECORD=Aufnahme\n"
           "MESSAGE_5=Datenbank fehlt\n";
    m_rig.m_dataSource.Execute("drop table Task");
    CRadioCore& core = m_rig.Core();
    EXPECT_EQ(core.Language(), "Deutsch");
    EXPECT_EQ(core.GetText("RECORD"), "Aufnahme");
    EXPECT_EQ(core.GetText("PLAY"), "");
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].text, "Datenbank fehlt");
}

// The core fixes its file when it is made and answers the media object's
// lookups from it: a later change of folder moves neither.
TEST_F(RadioCoreTest, TheMediaObjectsMessagesComeFromTheCoresLanguageFile) {
    std::ofstream(m_rig.m_dir.File("Language.ini"))
        << "[Language]\nLANGUAGE_2=Deutsch\n[Deutsch]\nMESSAGE_4=nicht hier\n"
           "[LANGUAGE_2]\nMESSAGE_4=Keine Soundkarte\n";
    CRadioCore& core = m_rig.Core();
    EXPECT_EQ(core.StartFolder(), m_rig.m_dir.Path().string());

    CTempDir elsewhere;
    std::ofstream(elsewhere.File("Language.ini")) << "[LANGUAGE_2]\nMESSAGE_4=anderswo\n";
    std::filesystem::current_path(elsewhere.Path());
    EXPECT_EQ(core.AudioGraph().LoadText("MESSAGE_4", "Can't find sound card"), "Keine Soundkarte");
    EXPECT_EQ(core.AudioGraph().LoadText("MESSAGE_3", ""),
              "Record WMA format file error,Plese install Microsoft Window Media 9/10");
    EXPECT_EQ(core.StartFolder(), m_rig.m_dir.Path().string());
    std::filesystem::current_path(m_rig.m_dir.Path());
}

}  // namespace
