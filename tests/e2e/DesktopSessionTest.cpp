#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "tests/e2e/ChildProgram.h"
#include "tests/e2e/DesktopSession.h"
#include "tests/e2e/ScriptedDataSource.h"
#include "tests/install/CommandRun.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kClass = "kestrel";
constexpr const char* kTitle = "Kestrel Radio";
// The tray menu, walked from the keyboard as it opens with no item active:
// Down takes the first item (the presets are greyed out: the band has none).
const std::vector<std::string> kStartOrStopRecording = {"Down", "Return"};
const std::vector<std::string> kShowOrHide = {"Down", "Down", "Return"};
const std::vector<std::string> kQuit = {"Up", "Return"};
// The player button, in the main window's client area as the skin lays it out.
constexpr int kPlayerButtonX = 522;
constexpr int kPlayerButtonY = 180;

// The demo as a user runs it at a desktop with a tray and a notification
// service: the real program, the real X server, tray host and notification
// daemon, driven with the mouse and the keyboard.
class DesktopSessionTest : public ::testing::Test {
protected:
    // The driver manager keeps the first odbc.ini it read: one data source
    // serves the whole suite.
    static void SetUpTestSuite() {
        s_pDataDir = new CTempDir;
        s_pData = new CScriptedDataSource(s_pDataDir->Path() / "data");
    }
    static void TearDownTestSuite() {
        delete s_pData;
        delete s_pDataDir;
    }
    void SetUp() override {
        m_pSession = std::make_unique<CDesktopSession>(m_dir.Path() / "desktop");
        m_nRowsBefore = s_pData->FileRows().size();
    }
    void TearDown() override {
        m_pProgram.reset();
        m_pSession.reset();
    }
    size_t NewRows() const { return s_pData->FileRows().size() - m_nRowsBefore; }

    void StartKestrel() {
        const std::string strHome = m_dir.File("home");
        std::filesystem::create_directories(m_dir.Path() / "home" / "runtime");
        std::filesystem::permissions(m_dir.Path() / "home" / "runtime",
                                     std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        std::vector<std::string> entries = m_pSession->Environment();
        entries.push_back("HOME=" + strHome);
        entries.push_back("XDG_CONFIG_HOME=" + strHome + "/config");
        entries.push_back("XDG_RUNTIME_DIR=" + strHome + "/runtime");
        entries.push_back("KESTREL_PROFILE=" + m_dir.File("Kestrel.ini"));
        entries.push_back("KESTREL_SIMULATE=1");
        entries.push_back("QT_QPA_PLATFORM=xcb");
        // libxkbcommon-x11 copies X atom names with strndup() past their
        // end's check; the sanitizer's strict interceptor would end the run
        // there, in the X keyboard set-up, before any of Kestrel's own code.
        if (const char* pAsan = std::getenv("ASAN_OPTIONS")) {
            entries.push_back(std::string("ASAN_OPTIONS=") + pAsan + ":intercept_strndup=0");
        }
        const std::vector<std::string> environment = CDesktopSession::WithEntries(entries);
        std::ofstream(m_dir.File("Kestrel.ini"))
            << "[SET]\nPATH=" << m_dir.File("RadioRecord") << "\n[SETTING]\nFM_FREQ=8000\n";
        m_pProgram =
            std::make_unique<CChildProgram>(std::vector<std::string>{KESTREL_PROGRAM}, environment,
                                            m_dir.Path().string(), m_dir.File("kestrel.log"));
        ASSERT_TRUE(CDesktopSession::WaitFor([this] {
            return m_pSession->TrayIcon(kClass) && m_pSession->VisibleWindow(kClass, kTitle);
        })) << m_pProgram->Log();
    }

    // Opens the tray icon's menu with a right click; false when no menu came.
    // An icon just mapped may not be embedded yet: a click it missed is
    // given again.
    bool OpenTrayMenu() {
        for (int nTry = 0; nTry < 3; ++nTry) {
            const std::optional<CDesktopSession::SWindow> icon = m_pSession->TrayIcon(kClass);
            if (!icon) {
                return false;
            }
            const size_t nBefore = m_pSession->VisibleWindows(kClass).size();
            m_pSession->Click(icon->x + icon->nWidth / 2, icon->y + icon->nHeight / 2, 3);
            if (CDesktopSession::WaitFor(
                    [&] { return m_pSession->VisibleWindows(kClass).size() > nBefore; }, 5s)) {
                // The menu takes the keyboard once it is up.
                std::this_thread::sleep_for(300ms);
                return true;
            }
        }
        return false;
    }
    void ChooseFromTray(const std::vector<std::string>& keys) {
        ASSERT_TRUE(OpenTrayMenu()) << m_pProgram->Log();
        m_pSession->Keys(keys);
    }
    bool MainWindowShown() { return m_pSession->VisibleWindow(kClass, kTitle).has_value(); }
    ::testing::AssertionResult Notified(const std::string& strSummary) {
        const bool bSeen = CDesktopSession::WaitFor([&] {
            const std::vector<std::string> summaries = m_pSession->NotificationSummaries();
            return std::find(summaries.begin(), summaries.end(), strSummary) != summaries.end();
        });
        if (bSeen) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "no \"" << strSummary << "\" on the bus:\n"
                                             << m_pSession->Log("notifications.log") << "\n"
                                             << m_pProgram->Log();
    }
    // The process's end; its wait status, or nothing while it still runs.
    std::optional<int> End() { return m_pProgram->Wait(30s); }

    static CTempDir* s_pDataDir;
    static CScriptedDataSource* s_pData;
    CTempDir m_dir;
    std::unique_ptr<CDesktopSession> m_pSession;
    size_t m_nRowsBefore = 0;
    std::unique_ptr<CChildProgram> m_pProgram;
};

CTempDir* DesktopSessionTest::s_pDataDir = nullptr;
CScriptedDataSource* DesktopSessionTest::s_pData = nullptr;

TEST_F(DesktopSessionTest, TheTrayMenuAnswersWithTheWindowShownHiddenAndMinimised) {
    StartKestrel();
    const CDesktopSession::SWindow shown = *m_pSession->VisibleWindow(kClass, kTitle);
    ASSERT_TRUE(OpenTrayMenu()) << "no menu with the window shown";
    m_pSession->Keys({"Escape"});
    ChooseFromTray(kShowOrHide);
    ASSERT_TRUE(CDesktopSession::WaitFor([&] { return !MainWindowShown(); }));
    ChooseFromTray(kShowOrHide);
    ASSERT_TRUE(CDesktopSession::WaitFor([&] { return MainWindowShown(); }));
    const CDesktopSession::SWindow back = *m_pSession->VisibleWindow(kClass, kTitle);
    EXPECT_EQ(back.x, shown.x);  // where it was, not a frame's width off
    EXPECT_EQ(back.y, shown.y);

    m_pSession->Minimise(back.strId);
    ASSERT_TRUE(CDesktopSession::WaitFor([&] { return !MainWindowShown(); }));
    ChooseFromTray(kShowOrHide);  // minimised counts as not shown
    EXPECT_TRUE(CDesktopSession::WaitFor([&] { return MainWindowShown(); }));
}

TEST_F(DesktopSessionTest, ToolWindowsGoToTheTrayAndComeBackWithTheWindow) {
    StartKestrel();
    const CDesktopSession::SWindow main = *m_pSession->VisibleWindow(kClass, kTitle);
    m_pSession->Click(main.x + kPlayerButtonX, main.y + kPlayerButtonY, 1);
    ASSERT_TRUE(CDesktopSession::WaitFor(
        [&] { return m_pSession->VisibleWindow(kClass, "Recordings").has_value(); }));
    const CDesktopSession::SWindow player = *m_pSession->VisibleWindow(kClass, "Recordings");

    ChooseFromTray(kShowOrHide);
    ASSERT_TRUE(CDesktopSession::WaitFor([&] { return !MainWindowShown(); }));
    EXPECT_FALSE(m_pSession->VisibleWindow(kClass, "Recordings").has_value());

    ChooseFromTray(kShowOrHide);
    ASSERT_TRUE(CDesktopSession::WaitFor(
        [&] { return m_pSession->VisibleWindow(kClass, "Recordings").has_value(); }));
    const CDesktopSession::SWindow back = *m_pSession->VisibleWindow(kClass, "Recordings");
    EXPECT_EQ(back.x, player.x);
    EXPECT_EQ(back.y, player.y);
}

// Quit from the tray with the window hidden: the recording is completed and
// catalogued, the process and its bus names go, and the notification
// service heard the recording start and finish.
TEST_F(DesktopSessionTest, QuitFromTheTrayWithTheWindowHiddenEndsTheProcess) {
    StartKestrel();
    ChooseFromTray(kStartOrStopRecording);
    EXPECT_TRUE(Notified("Recording started"));
    ChooseFromTray(kShowOrHide);
    ASSERT_TRUE(CDesktopSession::WaitFor([&] { return !MainWindowShown(); }));
    std::this_thread::sleep_for(1s);  // a second of audio

    ChooseFromTray(kQuit);
    const std::optional<int> status = End();
    ASSERT_TRUE(status.has_value()) << "still running after Quit";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << DescribeStatus(*status);
    EXPECT_TRUE(Notified("Recording finished"));
    EXPECT_EQ(NewRows(), 1u);
    const CCommandRun::SResult names = CCommandRun::Run(
        {"dbus-send", "--address=" + m_pSession->BusAddress(), "--print-reply",
         "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"});
    EXPECT_EQ(names.strOutput.find("kestrel"), std::string::npos) << names.strOutput;
}

// With no copy running, the command line records with no window; the desktop
// still hears of it.
TEST_F(DesktopSessionTest, AHeadlessRecordingOfTheDemoIsNotified) {
    std::ofstream(m_dir.File("Kestrel.ini")) << "[SET]\nPATH=" << m_dir.File("RadioRecord") << "\n";
    CCommandRun::SOptions options = CCommandRun::Limit(60s);
    for (const std::string& strEntry : m_pSession->Environment()) {
        const size_t nAt = strEntry.find('=');
        options.environment.emplace_back(strEntry.substr(0, nAt), strEntry.substr(nAt + 1));
    }
    options.environment.emplace_back("HOME", m_dir.File("home"));
    options.environment.emplace_back("XDG_RUNTIME_DIR", m_dir.File("runtime"));
    options.environment.emplace_back("KESTREL_PROFILE", m_dir.File("Kestrel.ini"));
    options.environment.emplace_back("KESTREL_SIMULATE", "1");
    std::filesystem::create_directories(m_dir.Path() / "runtime");
    const CCommandRun::SResult run =
        CCommandRun::Run({KESTREL_PROGRAM, "--record", "--for", "1s"}, options);
    ASSERT_EQ(run.nStatus, 0) << run.strOutput;
    EXPECT_TRUE(Notified("Recording started"));
    EXPECT_TRUE(Notified("Recording finished"));
}

TEST_F(DesktopSessionTest, SigtermAndSigintWithTheWindowHiddenEndTheProcess) {
    for (const int nSignal : {SIGTERM, SIGINT}) {
        StartKestrel();
        ChooseFromTray(kStartOrStopRecording);
        ChooseFromTray(kShowOrHide);
        ASSERT_TRUE(CDesktopSession::WaitFor([&] { return !MainWindowShown(); }));
        std::this_thread::sleep_for(1s);
        m_pProgram->Signal(nSignal);
        const std::optional<int> status = End();
        ASSERT_TRUE(status.has_value()) << "signal " << nSignal << " was ignored";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << DescribeStatus(*status);
    }
    EXPECT_EQ(NewRows(), 2u);  // each recording catalogued on the way out
}

}  // namespace
