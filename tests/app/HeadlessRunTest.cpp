#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>

#include "app/HeadlessRun.h"
#include "platform/window/WindowMessages.h"
#include "schedule/TaskOutcomes.h"
#include "tests/app/CoreRig.h"

namespace {

using namespace std::chrono_literals;

class HeadlessRunTest : public ::testing::Test {
protected:
    int AddTask(std::int64_t nBegin, std::int64_t nEnd) {
        CTaskSet tasks(m_rig.m_dataSource.Driver());
        EXPECT_TRUE(tasks.Open());
        tasks.AddNew();
        tasks.m_BeginTime = m_rig.m_clock.Now() + nBegin;
        tasks.m_EndTime = m_rig.m_clock.Now() + nEnd;
        tasks.m_Channel = CTaskSet::ChannelText(0x80000000u | 8000u);
        tasks.Update();
        return tasks.m_ID;
    }
    STaskOutcome::EKind Outcome(int nTask) {
        const auto outcome = CTaskOutcomes(m_rig.m_dataSource.Driver()).Find(nTask);
        EXPECT_TRUE(outcome.has_value()) << "task " << nTask;
        return outcome ? outcome->eKind : STaskOutcome::EKind::Failed;
    }
    // Runs the event loop until the run says it is done.
    static bool WaitForFinished(CHeadlessRun& run, bool& bFinished) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!bFinished && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return bFinished && !run.IsRecording();
    }

    CCoreRig m_rig;
};

// No window and no one to click a box: the task is recorded to its end, a
// task handed over meanwhile is recorded too, and then the run is done.
TEST_F(HeadlessRunTest, RecordsItsTaskAndOneHandedOverThenFinishes) {
    m_rig.Card();
    const int nFirst = AddTask(0, 600);
    const int nSecond = AddTask(0, 60);
    CHeadlessRun run(m_rig.Services(), m_rig.m_profile);
    bool bFinished = false;
    QObject::connect(&run, &CHeadlessRun::Finished, [&] { bFinished = true; });
    ASSERT_TRUE(run.Start(nFirst));

    run.Core().MainWindow()->Post(WM_START_TASK, static_cast<uintptr_t>(nSecond), 0);
    QCoreApplication::processEvents();
    ASSERT_TRUE(run.IsRecording());
    EXPECT_FALSE(bFinished);
    m_rig.m_clock.Advance(61s);
    ASSERT_TRUE(WaitForFinished(run, bFinished));
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_EQ(Outcome(nFirst), STaskOutcome::EKind::Partial);
    EXPECT_EQ(Outcome(nSecond), STaskOutcome::EKind::Recorded);
    EXPECT_EQ(m_rig.m_dataSource.CountRows("FileList"), 2);
}

TEST_F(HeadlessRunTest, ATaskThatCannotRecordEndsTheRunAtOnce) {
    m_rig.Card();
    const int nTask = AddTask(-120, -60);
    CHeadlessRun run(m_rig.Services(), m_rig.m_profile);
    EXPECT_FALSE(run.Start(nTask));
    EXPECT_EQ(run.ExitCode(), 2);
    EXPECT_EQ(Outcome(nTask), STaskOutcome::EKind::Missed);

    m_rig.m_hid.Unplug(m_rig.m_nReceiver);
    CHeadlessRun absent(m_rig.Services(), m_rig.m_profile);
    EXPECT_FALSE(absent.Start(AddTask(0, 60)));
    EXPECT_EQ(absent.ExitCode(), 1);
}

}  // namespace
