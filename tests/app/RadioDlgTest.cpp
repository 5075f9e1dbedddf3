#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/RadioDlg.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"
#include "record/windows/PlayDlg.h"
#include "skin/SkinEngine.h"
#include "skin/SkinMeter.h"
#include "tests/app/CoreRig.h"
#include "tests/receiver/ScriptedReceiverFactory.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

class RadioDlgTest : public ::testing::Test {
protected:
    RadioDlgTest() {
        m_skin.Initialise("KestrelFM");
        m_skin.LoadSkin("SKIN", "KESTRELSKIN");
    }
    ~RadioDlgTest() override { m_pWindow.reset(); }

    // Opened on first use, so that a test lays out presets and hardware first.
    CRadioDlg& Window() {
        if (!m_pWindow) {
            m_rig.Card();
            m_pWindow = std::make_unique<CRadioDlg>(m_rig.Services(), m_rig.m_profile, &m_skin);
            m_pWindow->Create();
            m_pWindow->show();
        }
        return *m_pWindow;
    }

    void Key(int nKey) {
        // The volume slider has its own use for arrows; the window's keys win.
        QWidget* pTarget = Window().GetDlgItem(CRadioDlg::IDC_VOLUME);
        QKeyEvent press(QEvent::KeyPress, nKey, Qt::NoModifier);
        QApplication::sendEvent(pTarget, &press);
    }
    void Click(int nId) {
        auto* pButton = Window().GetDlgItemAs<QAbstractButton>(nId);
        ASSERT_NE(pButton, nullptr) << nId;
        pButton->click();
    }
    int MeterValue(int nId) { return Window().GetDlgItemAs<CSkinMeter>(nId)->GetValue(); }
    void Preset(int nBand, int nSlot, unsigned frequency, const std::string& strTitle) {
        const uint32_t nFm = nBand == CPresetStore::BAND_FM ? CPresetStore::kFmBit : 0;
        CPresetStore(m_rig.m_profile).WriteSlot(nBand, nSlot, nFm | frequency, strTitle);
    }
    // Runs the window's queued messages and timers for a while.
    static void Pump(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
    // Runs the window's queued messages and timers until the condition holds.
    template <typename Condition>
    static bool PumpUntil(Condition condition) {
        return WaitUntil(condition, 10s,
                         [] { QApplication::processEvents(QEventLoop::AllEvents, 10); });
    }

    CCoreRig m_rig;
    CSkinEngine m_skin;
    std::unique_ptr<CRadioDlg> m_pWindow;
};

TEST_F(RadioDlgTest, ChannelAndFineStepsKeepToTheGridAndWrap) {
    Window().Core().TuneTo(8815);
    Window().StepChannel(false);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8810u);
    Window().StepChannel(false);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8800u);
    Window().Core().TuneTo(8815);
    Window().StepChannel(true);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8820u);
    Window().FineStep(true);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8821u);

    // Up lowers, Down raises.
    Key(Qt::Key_Up);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8820u);
    Key(Qt::Key_Down);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8830u);

    Window().Core().TuneTo(Window().Core().Steps(CTuner::BAND_FM).Lower());
    Window().StepChannel(false);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM),
              Window().Core().Steps(CTuner::BAND_FM).Upper());
    // The image reaches the receiver through its link, a moment later.
    const unsigned nUpper = Window().Core().Steps(CTuner::BAND_FM).Upper();
    EXPECT_TRUE(
        WaitUntil([&] { return m_rig.m_pReceiver->TunedState().nFrequency == nUpper; }, 10s))
        << m_rig.m_pReceiver->TunedState().nFrequency;

    Click(CRadioDlg::IDC_AM);
    ASSERT_EQ(Window().Core().Steps(CTuner::BAND_AM).Spacing(), 9u);
    Window().Core().TuneTo(1000);
    Window().StepChannel(true);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_AM), 1008u);
    Window().Core().TuneTo(1000);
    Window().StepChannel(false);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_AM), 999u);
}

TEST_F(RadioDlgTest, KeypadShowsItsPageAndDigitKeysRecallItsSlots) {
    Preset(CPresetStore::BAND_FM, 35, 8000, "Radio Thirty-Five");
    Preset(CPresetStore::BAND_FM, 2, 8250, "");
    CRadioDlg& window = Window();
    EXPECT_TRUE(window.GetDlgItem(CRadioDlg::IDC_KEY_0 + 2)->isEnabled());
    EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_KEY_0 + 3)->isEnabled());
    for (int n = 0; n < 3; ++n) {
        Key(Qt::Key_PageUp);
    }
    ASSERT_EQ(window.PresetPage(), 3);
    for (int n = 0; n < CRadioDlg::kKeypadSlots; ++n) {
        EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_KEY_0 + n), std::to_string(30 + n));
    }
    EXPECT_EQ(window.GetDlgItem(CRadioDlg::IDC_KEY_0 + 5)->toolTip().toStdString(),
              "FM 80.00MHz\n  Radio Thirty-Five");

    Key(Qt::Key_5);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8000u);
    EXPECT_EQ(window.Banner().rfind("Radio Thirty-Five      Radio Thirty-Five", 0), 0u);

    // An empty slot's key does nothing.
    Key(Qt::Key_4);
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8000u);

    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(window.PresetPage(), 9);
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_KEY_0 + 9), "99");
}

// Nothing is tuned, but the display shows the frequency the radio holds (the
// one the command line reports), and neither the banner nor the lamps
// pretend a station.
TEST_F(RadioDlgTest, WithoutTheReceiverNothingIsTunedAndItsButtonsAreDisabled) {
    for (int n = 0; n < CRadioDlg::kKeypadSlots; ++n) {
        Preset(CPresetStore::BAND_FM, n, 8000 + 10 * static_cast<unsigned>(n), "");
    }
    m_rig.m_profile.WriteProfileInt("SETTING", "FM_FREQ", 7800);
    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    CRadioDlg& window = Window();
    for (int n = 0; n < CRadioDlg::kKeypadSlots; ++n) {
        EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_KEY_0 + n)->isEnabled());
    }
    for (int nId : {1000, 1001, 1002, 1003, 1004, 1021, 1022, 1035, 1036}) {
        EXPECT_FALSE(window.GetDlgItem(nId)->isEnabled()) << nId;
    }
    Pump(50ms);
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_FREQUENCY), "78.00MHz");
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_BANNER), "The receiver is not plugged in.");
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_SIGNAL), 0);
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_CHANNEL), 0);
    EXPECT_EQ(m_rig.m_pReceiver->ReportCount(), 0u);
}

TEST_F(RadioDlgTest, AnUnpluggedReceiverLeavesNoStationShown) {
    Preset(CPresetStore::BAND_FM, 0, 8000, "Alpha FM");
    m_rig.m_profile.WriteProfileInt("SETTING", "FM_FREQ", 8000);
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_KEY_0);
    ASSERT_EQ(MeterValue(CRadioDlg::IDC_CHANNEL), 100);
    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    window.CheckDevice();
    Pump(50ms);
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_BANNER), "The receiver is not plugged in.");
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_FREQUENCY), "80.00MHz");
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_CHANNEL), 0);
}

TEST_F(RadioDlgTest, ReceiverPluggedInLaterIsTunedToTheStoredFrequency) {
    m_rig.m_profile.WriteProfileInt("SETTING", "FM_FREQ", 8250);
    Preset(CPresetStore::BAND_FM, 0, 8000, "");
    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    CRadioDlg& window = Window();
    ASSERT_EQ(window.Core().DevicePresent(), 0);

    m_rig.m_hid.Plug(m_rig.m_nReceiver);
    // The device notice arrives through the window's queue.
    EXPECT_TRUE(PumpUntil([&] { return window.Core().DevicePresent() == 1; }));
    ASSERT_TRUE(m_rig.m_pReceiver->WaitForReports(1, 2000ms));
    EXPECT_EQ(m_rig.m_pReceiver->TunedState().nFrequency, 8250u);
    EXPECT_TRUE(window.GetDlgItem(CRadioDlg::IDC_KEY_0)->isEnabled());
    EXPECT_TRUE(window.GetDlgItem(CRadioDlg::IDC_STEP_UP)->isEnabled());
    EXPECT_GE(m_rig.m_clock.Elapsed(), 1000ms);  // it waited a second first
}

TEST_F(RadioDlgTest, BannerRepeatsTheTitleAndScrollsWholeCharacters) {
    const std::string strTitle(20, 'T');
    const std::string strBanner = CPresetBanner::TitleText(strTitle);
    EXPECT_EQ(strBanner.size(), 78u);
    EXPECT_EQ(strBanner, strTitle + "      " + strTitle + "      " + strTitle + "      ");

    CRadioDlg& window = Window();
    window.SetBanner("KESTREL");
    window.ScrollBanner();
    EXPECT_EQ(window.Banner(), "ESTRELK");
    window.SetBanner("estrel");
    window.ScrollBanner();
    EXPECT_EQ(window.Banner(), "treles");
    window.SetBanner("\xE6\x97\xA5\xE6\x9C\xAC FM");  // 日本 FM
    window.ScrollBanner();
    EXPECT_EQ(window.Banner(), "\xE6\x9C\xAC FM\xE6\x97\xA5");
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_BANNER), window.Banner());
}

TEST_F(RadioDlgTest, IndicatorsShowTheTuningOffsetAndTheChannelFlag) {
    CRadioDlg& window = Window();
    Window().Core().Recall({Window().Core().CurrentFrequency(), 1, ""});
    window.RefreshIndicators();
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_CHANNEL), 50);
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_SIGNAL), 0);  // nothing measured yet

    Click(CRadioDlg::IDC_AM);
    Window().Core().Recall({Window().Core().CurrentFrequency(), 0, ""});
    window.RefreshIndicators();
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_CHANNEL), 100);
    // The meter clamps what the offset gives: FM 20 is 100, AM 6 is 108.
    CSkinMeter& signal = *Window().GetDlgItemAs<CSkinMeter>(CRadioDlg::IDC_SIGNAL);
    for (auto [nBand, nOffset, nShown] : {std::tuple{CTuner::BAND_FM, 20, 100},
                                          {CTuner::BAND_AM, 6, 100},
                                          {CTuner::BAND_AM, 5, 90},
                                          {CTuner::BAND_AM, -2, 0}}) {
        signal.SetValue(Window().Core().Steps(nBand).SignalLevel(nOffset));
        EXPECT_EQ(signal.GetValue(), nShown) << nOffset;
    }
}

TEST_F(RadioDlgTest, SelectedBandButtonChangesNothingAndTheOtherSwitchesBand) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_FM);
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SETTING", "LASTMODEL"), "");

    Click(CRadioDlg::IDC_AM);
    EXPECT_EQ(Window().Core().Band(), CTuner::BAND_AM);
    EXPECT_EQ(m_rig.m_profile.GetProfileString("SETTING", "LASTMODEL"), "0");
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_BAND), "AM");
}

TEST_F(RadioDlgTest, EnterAndEscapeLeaveTheWindowOpen) {
    CRadioDlg& window = Window();
    Key(Qt::Key_Escape);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    Pump(20ms);
    EXPECT_TRUE(window.IsWindow());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(RadioDlgTest, RecordButtonTogglesTheLampAndCataloguesTheRecording) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_RECORD);
    ASSERT_EQ(window.Recording(), 1);
    EXPECT_TRUE(window.GetDlgItem(CRadioDlg::IDC_RECORD_LAMP)->isVisible());
    EXPECT_EQ(MeterValue(CRadioDlg::IDC_RECORD_LAMP), 100);
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_RECORD_TIME), "00:00:00");

    Click(CRadioDlg::IDC_RECORD);
    EXPECT_EQ(window.Recording(), 0);
    EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_RECORD_LAMP)->isVisible());
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_RECORD_TIME), "");
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);

    std::ofstream(m_rig.m_dir.File("plain")) << "not a folder";
    m_rig.m_profile.WriteProfileString("SET", "PATH", m_rig.m_dir.File("plain/records"));
    Click(CRadioDlg::IDC_RECORD);
    EXPECT_EQ(window.Recording(), 0);
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_EQ(m_rig.m_boxes.Shown()[0].text, "Record fail!");
    EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_RECORD_LAMP)->isVisible());
}

TEST_F(RadioDlgTest, ScheduledTaskTunesItsChannelMutedAndRecordsUntilItsEnd) {
    CTaskSet tasks(m_rig.m_dataSource.Driver());
    ASSERT_TRUE(tasks.Open());
    tasks.AddNew();
    tasks.m_BeginTime = m_rig.m_clock.Now();
    tasks.m_EndTime = m_rig.m_clock.Now() + 60;
    const uint32_t nWord = 0x80000000u | (1u << 23) | 8520u;  // FM, muted, 85.20 MHz
    tasks.m_Channel = std::to_string(nWord);
    tasks.m_Memo = "morning news";
    tasks.Update();
    const int nTask = tasks.m_ID;
    SWorkItem item;
    item.strName = "KestrelRadio_Record_" + std::to_string(nTask);
    item.strApplication = "/bin/true";
    item.begin = m_rig.m_clock.Now() + 3600;
    std::string strError;
    ASSERT_EQ(m_rig.m_scheduler.Submit(item, strError), 0) << strError;

    CRadioDlg& window = Window();
    window.StartScheduledTask(nTask);
    EXPECT_FALSE(m_rig.m_scheduler.WorkItem(item.strName).has_value());
    EXPECT_EQ(window.Recording(), 1);
    EXPECT_EQ(window.Core().Scheduled(), 1);
    EXPECT_EQ(window.Core().TaskMemo(), "morning news");
    EXPECT_EQ(Window().Core().Frequency(CTuner::BAND_FM), 8520u);
    EXPECT_EQ(window.Mute(), 1);
    EXPECT_TRUE(m_rig.Card().IsMasterMuted());

    // At its end time the next tick of the recording timer stops it.
    m_rig.m_clock.Advance(61s);
    EXPECT_TRUE(PumpUntil([&] { return window.Recording() == 0; }));
    EXPECT_EQ(window.Core().Scheduled(), 0);
    EXPECT_TRUE(m_rig.Card().IsMasterMuted());
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
}

// The catalogue keeps Unicode text: a folder named in other bytes would give
// a row that names no file. It is refused before anything is recorded.
TEST_F(RadioDlgTest, ARecordFolderTheCatalogueCannotNameIsRefusedFirst) {
    CRadioDlg& window = Window();
    for (const std::string& strFolder :
         {m_rig.m_dir.File("Aufnahmen f\xFCr Radio"), m_rig.m_dir.File(std::string(300, 'r'))}) {
        m_rig.m_boxes.Clear();
        m_rig.m_profile.WriteProfileString("SET", "PATH", strFolder);
        Click(CRadioDlg::IDC_RECORD);
        EXPECT_EQ(window.Recording(), 0);
        ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
        EXPECT_NE(m_rig.m_boxes.Shown()[0].text.find("record folder"), std::string::npos);
        std::error_code error;
        EXPECT_FALSE(std::filesystem::exists(strFolder, error));
    }
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 0);
}

// A recording the recorder had to end (the disk filled) stops at once, is
// catalogued with the audio its file holds and is reported; one that cannot
// start on a full disk says so and leaves nothing.
TEST_F(RadioDlgTest, ARecordingThatFailsStopsAtOnceAndSaysWhy) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_RECORD);
    ASSERT_EQ(window.Recording(), 1);
    Pump(1500ms);                  // a moment of audio for the file
    m_rig.m_clock.Advance(3600s);  // the wall clock is no measure of the file
    ASSERT_TRUE(m_rig.m_media.FailRecording(ECaptureFault::DiskFull));
    EXPECT_TRUE(PumpUntil([&] { return window.Recording() == 0; }));
    EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_RECORD_LAMP)->isVisible());
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_NE(m_rig.m_boxes.Shown()[0].text.find("disk is full"), std::string::npos);
    const SDbResult rows = m_rig.m_dataSource.Query("SELECT Duration FROM FileList");
    ASSERT_EQ(rows.m_rows.size(), 1u);
    EXPECT_TRUE(rows.m_rows[0][0] == CDbValue{std::string("00:00:01")} ||
                rows.m_rows[0][0] == CDbValue{std::string("00:00:02")});

    m_rig.m_boxes.Clear();
    m_rig.m_media.SetDiskFull(true);
    Click(CRadioDlg::IDC_RECORD);
    EXPECT_EQ(window.Recording(), 0);
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);
    EXPECT_NE(m_rig.m_boxes.Shown()[0].text.find("cannot start"), std::string::npos);
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
}

// After a scheduled start that recorded nothing, the user's next recording
// is an ordinary one: it runs on past the recording timer's ticks.
TEST_F(RadioDlgTest, AScheduledStartThatRecordedNothingLeavesTheNextRecordingToTheUser) {
    CRadioDlg& window = Window();
    const auto expectManualRecording = [&](const char* pCase) {
        EXPECT_EQ(window.Core().Scheduled(), 0) << pCase;
        Click(CRadioDlg::IDC_RECORD);
        ASSERT_EQ(window.Recording(), 1) << pCase;
        m_rig.m_clock.Advance(5s);
        // The time moves on the second tick of the recording timer.
        EXPECT_TRUE(PumpUntil([&] {
            return window.GetDlgItemText(CRadioDlg::IDC_RECORD_TIME) != "00:00:00";
        })) << pCase;
        EXPECT_EQ(window.Recording(), 1) << pCase;
        Click(CRadioDlg::IDC_RECORD);
    };

    // Started for a task that has no row.
    window.Core().SetScheduled(1);
    window.Core().SetTaskNumber(41);
    window.StartScheduledTask(41);
    expectManualRecording("no row");

    // Started for a task while the receiver is away.
    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    window.CheckDevice();
    window.Core().SetScheduled(1);
    window.StartScheduledTask(41);
    m_rig.m_hid.Plug(m_rig.m_nReceiver);
    window.CheckDevice();
    expectManualRecording("receiver away");

    // A task whose recording fails to start.
    CTaskSet tasks(m_rig.m_dataSource.Driver());
    ASSERT_TRUE(tasks.Open());
    tasks.AddNew();
    tasks.m_BeginTime = m_rig.m_clock.Now();
    tasks.m_EndTime = m_rig.m_clock.Now() + 60;
    tasks.m_Channel = std::to_string(0x80000000u | 8520u);
    tasks.Update();
    std::ofstream(m_rig.m_dir.File("plain")) << "not a folder";
    m_rig.m_profile.WriteProfileString("SET", "PATH", m_rig.m_dir.File("plain/records"));
    window.StartScheduledTask(tasks.m_ID);
    EXPECT_EQ(window.Recording(), 0);
    m_rig.m_profile.WriteProfileString("SET", "PATH", m_rig.RecordFolder());
    expectManualRecording("failed start");
}

// A task handed over without its row (a stale job, a mistyped number) must
// not end what the user is recording.
TEST_F(RadioDlgTest, ATaskWithoutItsRowLeavesARunningRecordingAlone) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_RECORD);
    ASSERT_EQ(window.Recording(), 1);
    window.MessageTarget().Send(WM_START_TASK, 0, 0);
    window.StartScheduledTask(999);
    EXPECT_EQ(window.Recording(), 1);
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 0);
    Click(CRadioDlg::IDC_RECORD);
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
}

// The recording goes on without the receiver; its button must still end it.
TEST_F(RadioDlgTest, UnpluggingTheReceiverLeavesARunningRecordingStoppable) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_RECORD);
    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    window.CheckDevice();
    EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_STEP_UP)->isEnabled());
    ASSERT_TRUE(window.GetDlgItem(CRadioDlg::IDC_RECORD)->isEnabled());
    Click(CRadioDlg::IDC_RECORD);
    EXPECT_EQ(window.Recording(), 0);
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
    EXPECT_FALSE(window.GetDlgItem(CRadioDlg::IDC_RECORD)->isEnabled());
}

// A click beside the handle moves the volume a tenth of its range.
TEST_F(RadioDlgTest, AClickOnTheVolumeGroovePagesByATenth) {
    CRadioDlg& window = Window();
    auto* pSlider = window.GetDlgItemAs<QSlider>(CRadioDlg::IDC_VOLUME);
    ASSERT_NE(pSlider, nullptr);
    m_rig.Card().SetMasterVolume(0);
    // The mixer's change notice reloads the slider.
    ASSERT_TRUE(PumpUntil([&] { return pSlider->value() == 0; }));
    const QPoint beside(pSlider->width() - 2, pSlider->height() / 2);
    const QPointF global = pSlider->mapToGlobal(QPointF(beside));
    for (QEvent::Type eType : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(eType, QPointF(beside), global, Qt::LeftButton,
                          eType == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(pSlider, &event);
    }
    // The release reaches the command map queued.
    EXPECT_TRUE(PumpUntil(
        [&] { return m_rig.Card().MasterVolume() == static_cast<uint32_t>(0x10000 / 10); }));
    EXPECT_EQ(pSlider->value(), 0x10000 / 10);
    EXPECT_EQ(m_rig.Card().MasterVolume(), static_cast<uint32_t>(0x10000 / 10));
}

// The keypad shows which of its keys holds the station playing.
TEST_F(RadioDlgTest, TheKeyOfThePresetPlayingIsMarked) {
    Preset(CPresetStore::BAND_FM, 2, 8000, "Alpha");
    Preset(CPresetStore::BAND_FM, 5, 8250, "Bravo");
    m_rig.m_profile.WriteProfileInt("SETTING", "FM_FREQ", 8000);
    CRadioDlg& window = Window();
    const auto marked = [&] {
        std::vector<int> keys;
        for (int n = 0; n < CRadioDlg::kKeypadSlots; ++n) {
            if (window.GetDlgItemAs<QAbstractButton>(CRadioDlg::IDC_KEY_0 + n)->isChecked()) {
                keys.push_back(n);
            }
        }
        return keys;
    };
    EXPECT_EQ(marked(), std::vector<int>{2});
    Click(CRadioDlg::IDC_KEY_0 + 5);
    EXPECT_EQ(marked(), std::vector<int>{5});
    Click(CRadioDlg::IDC_KEY_0 + 5);  // a second click keeps it marked
    EXPECT_EQ(marked(), std::vector<int>{5});
    Click(CRadioDlg::IDC_STEP_UP);  // Down: one channel up, no preset there
    EXPECT_TRUE(marked().empty());
    Key(Qt::Key_2);
    EXPECT_EQ(marked(), std::vector<int>{2});
    Key(Qt::Key_PageDown);  // page 1: slot 2 is not on it
    EXPECT_TRUE(marked().empty());
}

// A notch of the wheel over the slider is a step of the sound card's volume.
TEST_F(RadioDlgTest, TheMouseWheelOverTheVolumeStepsIt) {
    CRadioDlg& window = Window();
    auto* pSlider = window.GetDlgItemAs<QSlider>(CRadioDlg::IDC_VOLUME);
    ASSERT_NE(pSlider, nullptr);
    m_rig.Card().SetMasterVolume(0x8000);
    ASSERT_TRUE(PumpUntil([&] { return pSlider->value() == 0x8000; }));
    const QPointF inside(pSlider->width() / 2.0, pSlider->height() / 2.0);
    QWheelEvent up(inside, pSlider->mapToGlobal(inside), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pSlider, &up);
    EXPECT_TRUE(PumpUntil([&] { return m_rig.Card().MasterVolume() > 0x8000; }));
    const uint32_t nRaised = m_rig.Card().MasterVolume();
    EXPECT_EQ(nRaised, static_cast<uint32_t>(pSlider->value()));
    EXPECT_GE(nRaised - 0x8000, 0x10000u / 25);  // a step one can hear

    QWheelEvent down(inside, pSlider->mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pSlider, &down);
    EXPECT_TRUE(PumpUntil([&] { return m_rig.Card().MasterVolume() == 0x8000; }));
}

// Demo mode shows the receiver's removal and arrival from the context menu.
TEST_F(RadioDlgTest, TheDemoMenuUnplugsAndReplugsTheReceiver) {
    CRadioDlg& window = Window();
    QMenu plain;
    window.FillContextMenu(plain);
    EXPECT_EQ(plain.actions().size(), 1);  // About only, outside demo mode

    window.SetDemoReceiver({[this] { return m_rig.m_hid.IsPlugged(m_rig.m_nReceiver); },
                            [this](bool bPlug) {
                                bPlug ? m_rig.m_hid.Plug(m_rig.m_nReceiver)
                                      : m_rig.m_hid.Unplug(m_rig.m_nReceiver);
                            },
                            nullptr});
    for (int nPresent : {0, 1}) {
        QMenu menu;
        window.FillContextMenu(menu);
        ASSERT_EQ(menu.actions().size(), 3);
        menu.actions().back()->trigger();
        // The device notice arrives through the window's queue.
        EXPECT_TRUE(PumpUntil([&] { return window.Core().DevicePresent() == nPresent; }));
        EXPECT_EQ(window.GetDlgItem(CRadioDlg::IDC_STEP_UP)->isEnabled(), nPresent == 1);
    }
}

TEST_F(RadioDlgTest, RecordButtonAlwaysTogglesAndTheTimeAdvancesEverySecondTick) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_RECORD);
    window.Core().SetScheduled(1);
    window.Core().SetScheduledEnd(m_rig.m_clock.Now() + 3600);
    m_rig.m_clock.Advance(1s);
    // The first tick only darkens the lamp; the second lights it and moves the time.
    ASSERT_TRUE(PumpUntil([&] { return MeterValue(CRadioDlg::IDC_RECORD_LAMP) == 0; }));
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_RECORD_TIME), "00:00:00");
    ASSERT_TRUE(PumpUntil([&] { return MeterValue(CRadioDlg::IDC_RECORD_LAMP) == 100; }));
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_RECORD_TIME), "00:00:01");

    Click(CRadioDlg::IDC_RECORD);
    EXPECT_EQ(window.Recording(), 0);
    EXPECT_EQ(window.Core().Scheduled(), 0);
}

TEST_F(RadioDlgTest, ToolWindowButtonsOpenCloseAndReplaceEachOther) {
    CRadioDlg& window = Window();
    window.SetToolWindowFactory([](CRadioDlg& owner, int) -> CDialog* {
        auto* pWindow = new CDialog(100, owner.SkinEngine(), &owner);
        pWindow->setWindowFlag(Qt::Tool);
        pWindow->Create();
        pWindow->show();
        return pWindow;
    });
    Click(CRadioDlg::IDC_PLAYER);
    ASSERT_NE(window.ToolWindow(CRadioDlg::IDC_PLAYER), nullptr);
    EXPECT_EQ(window.ToolWindow(CRadioDlg::IDC_PLAYER)->pos().x(),
              window.frameGeometry().right() + 1);
    Click(CRadioDlg::IDC_PLAYER);
    EXPECT_EQ(window.ToolWindow(CRadioDlg::IDC_PLAYER), nullptr);

    Click(CRadioDlg::IDC_PLAYER);
    Click(CRadioDlg::IDC_OPTIONS);
    EXPECT_EQ(window.ToolWindow(CRadioDlg::IDC_PLAYER), nullptr);
    EXPECT_NE(window.ToolWindow(CRadioDlg::IDC_OPTIONS), nullptr);
    Pump(20ms);  // closed windows are freed by the event loop
}

TEST_F(RadioDlgTest, EachToolButtonOpensItsOwnWindowDockedBesideTheRadio) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_PLAYER);
    EXPECT_NE(qobject_cast<CPlayDlg*>(window.ToolWindow(CRadioDlg::IDC_PLAYER)), nullptr);
    int nPrevious = CRadioDlg::IDC_PLAYER;
    for (int nButton :
         {CRadioDlg::IDC_OPTIONS, CRadioDlg::IDC_SHORT_KEYS, CRadioDlg::IDC_TASK_LIST}) {
        Click(nButton);
        CDialog* pTool = window.ToolWindow(nButton);
        ASSERT_NE(pTool, nullptr) << nButton;
        EXPECT_TRUE(pTool->isVisible());
        EXPECT_EQ(pTool->pos(), window.frameGeometry().topRight() + QPoint(1, 0)) << nButton;
        EXPECT_EQ(window.ToolWindow(nPrevious), nullptr) << nPrevious;
        nPrevious = nButton;
    }
    Click(CRadioDlg::IDC_TASK_LIST);
    EXPECT_EQ(window.ToolWindow(CRadioDlg::IDC_TASK_LIST), nullptr);
    Pump(20ms);
}

TEST_F(RadioDlgTest, ClosingMutesTheReceiverAndFinishesARunningRecording) {
    CRadioDlg& window = Window();
    Click(CRadioDlg::IDC_RECORD);
    ASSERT_EQ(window.Recording(), 1);
    const std::string path = window.Core().RecordFile();
    window.DestroyWindow();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 1);
    EXPECT_TRUE(std::filesystem::exists(path));
    ASSERT_TRUE(m_rig.m_pReceiver->WaitForReports(1, 2000ms));
    EXPECT_TRUE(m_rig.m_pReceiver->TunedState().bMuted);
}

// A receiver that reads the station's own name (RDS): the banner shows it
// where no preset title does, and a preset saved from here takes it.
TEST_F(RadioDlgTest, AStationWithoutAPresetTitleIsNamedAsItNamesItself) {
    SScriptedStation station;
    station.nFrequency = 8810;
    station.strName = "KESTREL";
    station.strText = "Evening jazz";
    CScriptedReceiverFactory receivers({station});
    m_rig.UseReceivers(receivers);
    Preset(CPresetStore::BAND_FM, 0, 8250, "Bravo Radio");
    CRadioDlg& window = Window();
    window.TuneTo(8810);
    EXPECT_TRUE(PumpUntil([&] {
        return window.GetDlgItemText(CRadioDlg::IDC_BANNER).find("KESTREL  Evening jazz") !=
               std::string::npos;
    })) << window.GetDlgItemText(CRadioDlg::IDC_BANNER);
    EXPECT_EQ(window.Core().StationName(), "KESTREL");

    // A preset's own title wins.
    window.TuneTo(8250);
    Pump(300ms);
    EXPECT_EQ(window.GetDlgItemText(CRadioDlg::IDC_BANNER).find("KESTREL"), std::string::npos);
    EXPECT_EQ(window.Core().StationName(), "Bravo Radio");
}

}  // namespace
