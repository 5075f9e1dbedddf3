#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/Recorder.h"
#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/sdr/SimSdrServices.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "receiver/SdrReceiverFactory.h"
#include "receiver/V4l2ReceiverFactory.h"
#include "schedule/TaskOutcomes.h"
#include "tests/app/CoreRig.h"
#include "tests/support/WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// What the window would be told, counted.
class CObserverProbe : public CRecorder::CObserver {
public:
    void RecordingStarted() override { ++nStarted; }
    void RecordingStopped() override { ++nStopped; }
    void MuteOutput() override { ++nMuted; }
    void TaskEnded(const STaskOutcome& outcome) override { ended.push_back(outcome); }

    int nStarted = 0;
    int nStopped = 0;
    int nMuted = 0;
    std::vector<STaskOutcome> ended;
};

// A task from begin to end, seconds from now on the rig's clock.
int AddTask(CCoreRig& rig, std::int64_t nBegin, std::int64_t nEnd, std::uint32_t nWord) {
    CTaskSet tasks(rig.m_dataSource.Driver());
    EXPECT_TRUE(tasks.Open());
    tasks.AddNew();
    tasks.m_BeginTime = rig.m_clock.Now() + nBegin;
    tasks.m_EndTime = rig.m_clock.Now() + nEnd;
    tasks.m_Channel = CTaskSet::ChannelText(nWord);
    tasks.m_Memo = "news";
    tasks.Update();
    return tasks.m_ID;
}

// How the task ended, as its outcome was kept.
STaskOutcome Kept(CCoreRig& rig, int nTask) {
    const std::optional<STaskOutcome> outcome =
        CTaskOutcomes(rig.m_dataSource.Driver()).Find(nTask);
    EXPECT_TRUE(outcome.has_value()) << "task " << nTask;
    return outcome.value_or(STaskOutcome{});
}

// The recorder on the simulated hardware and a real data source, its clock
// virtual: a task's begin and end are set against it.
class RecorderTest : public ::testing::Test {
protected:
    RecorderTest() : m_recorder(m_rig.Core(), m_observer) {}
    ~RecorderTest() override { m_recorder.Stop(); }

    int AddTask(std::int64_t nBegin, std::int64_t nEnd, std::uint32_t nWord = 0x80000000u | 8000u) {
        return ::AddTask(m_rig, nBegin, nEnd, nWord);
    }
    STaskOutcome Kept(int nTask) { return ::Kept(m_rig, nTask); }
    // The recording timer's ticks, until the recorder ends the recording.
    void RunUntilStopped() {
        WaitUntil([this] { return !m_recorder.IsRecording(); }, 10s,
                  [this] {
                      m_recorder.Tick();
                      std::this_thread::sleep_for(20ms);
                  });
    }
    int FileRows() { return m_rig.m_dataSource.CountRows("FileList"); }

    CCoreRig m_rig;
    CObserverProbe m_observer;
    CRecorder m_recorder;
};

TEST_F(RecorderTest, ATaskRecordsToItsEndAndIsKeptAsRecorded) {
    const int nTask = AddTask(0, 60, 0x80000000u | (1u << 23) | 8520u);
    m_recorder.StartTask(nTask);
    ASSERT_TRUE(m_recorder.IsRecording());
    EXPECT_TRUE(m_recorder.IsScheduled());
    EXPECT_EQ(m_observer.nMuted, 1);
    EXPECT_EQ(m_rig.m_inhibitor.HeldReasons().size(), 1u);

    m_rig.m_clock.Advance(60s);
    m_recorder.Tick();
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_TRUE(m_rig.m_inhibitor.HeldReasons().empty());
    EXPECT_EQ(FileRows(), 1);
    const STaskOutcome outcome = Kept(nTask);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Recorded);
    EXPECT_EQ(outcome.strFile, m_rig.Core().RecordFile());
    EXPECT_TRUE(std::filesystem::exists(outcome.strFile));
    ASSERT_EQ(m_rig.m_notifier.Notifications().size(), 1u);
    EXPECT_EQ(m_rig.m_notifier.Notifications()[0].strSummary, "Scheduled recording finished");
}

// atd runs jobs it missed when it starts again: one past its end records
// nothing; one past its begin records the rest and says it started late.
TEST_F(RecorderTest, ALateJobRecordsTheRestAndAMissedOneRecordsNothing) {
    const int nMissed = AddTask(-600, -60);
    m_recorder.StartTask(nMissed);
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_EQ(m_observer.nStarted, 0);
    EXPECT_EQ(Kept(nMissed).eKind, STaskOutcome::EKind::Missed);
    EXPECT_EQ(FileRows(), 0);
    EXPECT_FALSE(std::filesystem::exists(m_rig.RecordFolder()));

    const int nLate = AddTask(-600, 60);
    m_recorder.StartTask(nLate);
    ASSERT_TRUE(m_recorder.IsRecording());
    m_rig.m_clock.Advance(61s);
    m_recorder.Tick();
    const STaskOutcome outcome = Kept(nLate);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Partial);
    EXPECT_NE(outcome.strReason.find("10 min late"), std::string::npos) << outcome.strReason;
    EXPECT_EQ(FileRows(), 1);
}

// Nothing that keeps a task from recording passes without a word.
TEST_F(RecorderTest, ATaskThatCannotRecordIsKeptAsFailedWithItsReason) {
    const int nTask = AddTask(0, 60);
    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    m_rig.Core().CheckDevice();
    m_recorder.StartTask(nTask);
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_FALSE(m_recorder.IsScheduled());
    STaskOutcome outcome = Kept(nTask);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Failed);
    EXPECT_NE(outcome.strReason.find("receiver"), std::string::npos);

    m_rig.m_hid.Plug(m_rig.m_nReceiver);
    m_rig.Core().CheckDevice();
    m_rig.m_media.SetDiskFull(true);
    m_recorder.StartTask(nTask);
    EXPECT_FALSE(m_recorder.IsRecording());
    outcome = Kept(nTask);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Failed);
    EXPECT_NE(outcome.strReason.find("disk is full"), std::string::npos) << outcome.strReason;
    EXPECT_EQ(m_rig.m_notifier.Notifications().back().strSummary, "Scheduled recording failed");
}

// The disk fills halfway: the recording stops at once, its row carries the
// audio written, and the task is kept as partly recorded with the reason.
TEST_F(RecorderTest, ARecordingTheRecorderEndsIsKeptAsPartial) {
    const int nTask = AddTask(0, 3600);
    m_recorder.StartTask(nTask);
    ASSERT_TRUE(m_recorder.IsRecording());
    std::this_thread::sleep_for(1200ms);  // audio for the file to hold
    ASSERT_TRUE(m_rig.m_media.FailRecording(ECaptureFault::DiskFull));
    ASSERT_TRUE(WaitUntil(
        [this] { return m_rig.Core().AudioGraph().RecordFault() != ECaptureFault::None; }, 10s));
    m_recorder.OnGraphNotify();
    EXPECT_FALSE(m_recorder.IsRecording());
    const STaskOutcome outcome = Kept(nTask);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Partial);
    EXPECT_NE(outcome.strReason.find("disk is full"), std::string::npos) << outcome.strReason;
    EXPECT_GE(outcome.nSeconds, 1);
    EXPECT_LE(outcome.nSeconds, 2);
    ASSERT_EQ(m_rig.m_boxes.Shown().size(), 1u);  // and the user is told
}

// A second task that fires while the first records ends the first early;
// both are kept, and the user's own recording is left alone by a task that
// has no row.
TEST_F(RecorderTest, ASecondTaskEndsTheFirstAndBothAreKept) {
    const int nFirst = AddTask(0, 600);
    const int nSecond = AddTask(0, 60, 0x80000000u | 9000u);
    m_recorder.StartTask(nFirst);
    m_rig.m_clock.Advance(5s);
    m_recorder.StartTask(nSecond);
    ASSERT_TRUE(m_recorder.IsRecording());
    const STaskOutcome first = Kept(nFirst);
    EXPECT_EQ(first.eKind, STaskOutcome::EKind::Partial);
    EXPECT_NE(first.strReason.find("another scheduled recording"), std::string::npos);
    m_rig.m_clock.Advance(60s);
    m_recorder.Tick();
    EXPECT_EQ(Kept(nSecond).eKind, STaskOutcome::EKind::Recorded);
    EXPECT_EQ(FileRows(), 2);

    ASSERT_TRUE(m_recorder.Start());
    m_recorder.StartTask(999);
    EXPECT_TRUE(m_recorder.IsRecording());
    EXPECT_FALSE(CTaskOutcomes(m_rig.m_dataSource.Driver()).Find(999).has_value());
}

// A job made for another data source (or for the database before it was
// made anew) names a row that is not its task's.
TEST_F(RecorderTest, AJobOfAnotherDataSourceRecordsNothing) {
    const int nTask = AddTask(0, 60);
    m_recorder.SetExpectedDataSource("00000000-0000-4000-8000-000000000000");
    m_recorder.StartTask(nTask);
    EXPECT_FALSE(m_recorder.IsRecording());
    EXPECT_FALSE(CTaskOutcomes(m_rig.m_dataSource.Driver()).Find(nTask).has_value());

    m_recorder.SetExpectedDataSource(m_rig.Core().DataSourceId());
    m_recorder.StartTask(nTask);
    EXPECT_TRUE(m_recorder.IsRecording());
}

// A radio whose node the user may not open (nobody logged in, the user in
// neither group) fails its task with what the user must do.
TEST(RecorderAccessTest, ATaskOnARadioTheUserMayNotOpenSaysWhatItNeeds) {
    CSimV4l2Services v4l2;
    CSimAudioCaptureServices capture;
    CSimAudioOutputServices output;
    CV4l2ReceiverFactory radios({v4l2, capture, output});
    SSimV4l2Layout locked;
    locked.bAccessible = false;
    v4l2.AddRadio(locked);
    CCoreRig rig;
    rig.UseReceivers(radios);
    CObserverProbe observer;
    CRecorder recorder(rig.Core(), observer);

    const int nTask = AddTask(rig, 0, 60, 0x80000000u | 9500u);
    recorder.StartTask(nTask);

    EXPECT_FALSE(recorder.IsRecording());
    const STaskOutcome outcome = Kept(rig, nTask);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Failed);
    EXPECT_NE(outcome.strReason.find("Permission denied"), std::string::npos) << outcome.strReason;
    EXPECT_NE(outcome.strReason.find("groups video and audio"), std::string::npos)
        << outcome.strReason;
}

// Samples a dongle dropped are silence in the file, and the task's outcome
// says how many gaps and how long they were.
TEST(RecorderGapsTest, ATaskOnADongleThatOverflowedCountsItsGaps) {
    CSimSdrServices sdr;
    CSimAudioOutputServices output;
    CSdrReceiverFactory dongles({sdr, output, 960'000});
    SSimSdrLayout layout;
    SSimSdrStation station;
    station.dHz = 95e6;
    station.station.left = station.station.right = {{1000, 0.4}};
    layout.stations = {station};
    const int nDongle = sdr.AddDongle(layout);
    CCoreRig rig;
    rig.UseReceivers(dongles);
    CObserverProbe observer;
    CRecorder recorder(rig.Core(), observer);

    const int nTask = AddTask(rig, 0, 60, 0x80000000u | 9500u);
    recorder.StartTask(nTask);
    ASSERT_TRUE(recorder.IsRecording());
    std::this_thread::sleep_for(200ms);
    sdr.Overflow(nDongle, 96'000);  // a tenth of a second
    std::this_thread::sleep_for(200ms);
    rig.m_clock.Advance(60s);
    recorder.Tick();
    ASSERT_FALSE(recorder.IsRecording());

    const STaskOutcome outcome = Kept(rig, nTask);
    EXPECT_EQ(outcome.eKind, STaskOutcome::EKind::Recorded);
    EXPECT_NE(outcome.strReason.find("Gaps in the receiver's audio: 1, 0.1 s"), std::string::npos)
        << outcome.strReason;
}

}  // namespace
