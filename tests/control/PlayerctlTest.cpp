#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/control/BusRig.h"
#include "tests/control/DemoHome.h"
#include "tests/platform/desktop/PrivateBus.h"
#include "tests/support/TempDir.h"

namespace {

// A command run to its end: its standard output, or its error.
struct SOutput {
    int nStatus = -1;
    std::string strOut;
    std::string strErr;
};

// The demo as a user starts it, on a bus of the test's own: the built
// kestrel program on the simulated receiver, seen on no screen, driven with
// the desktop's own tools (dbus-send, playerctl).
class PlayerctlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_bus.IsRunning()) << m_bus.Error();
        const std::string strBinary = std::getenv("KESTREL_BINARY_DIR");
        // Two FM presets of the Japanese band, the radio on the first.
        std::ofstream(m_home.File("Kestrel.ini"))
            << "[SET]\nPATH=" << m_home.File("RadioRecord") << "\n"
            << "[SETTING]\nFM_FREQ=8000\nLASTMODEL=1\n"
            << "[KEYS]\nKEY_FM_2=" << static_cast<int>(0x80000000u | 8000u)
            << "\nKEY_FM_2_Title=Alpha FM\nKEY_FM_5=" << static_cast<int>(0x80000000u | 8250u)
            << "\nKEY_FM_5_Title=Bravo Radio\n";

        m_environment = DemoEnvironment(m_home, m_bus.Address());
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        m_program.setProcessEnvironment(m_environment);
        m_program.setWorkingDirectory(QString::fromStdString(strBinary + "/bin"));
        m_program.start(QString::fromStdString(strBinary + "/bin/kestrel"), {});
        ASSERT_TRUE(m_program.waitForStarted(10000));
        QDBusConnection connection = QDBusConnection::connectToBus(
            QString::fromStdString(m_bus.Address()), QStringLiteral("playerctl-test-watch"));
        const bool bServing = CBusClient::WaitUntil(
            [&] {
                return m_program.state() != QProcess::Running ||
                       connection.interface()->isServiceRegistered(
                           QStringLiteral("org.mpris.MediaPlayer2.kestrel"));
            },
            std::chrono::seconds(60));
        QDBusConnection::disconnectFromBus(QStringLiteral("playerctl-test-watch"));
        ASSERT_TRUE(bServing && m_program.state() == QProcess::Running)
            << m_program.readAllStandardError().toStdString();
    }
    void TearDown() override {
        if (m_program.state() == QProcess::Running) {
            m_program.terminate();  // SIGTERM: the window's close sequence
            m_program.waitForFinished(30000);
        }
    }

    SOutput Run(const char* pTool, const QStringList& arguments) {
        QProcess tool;
        tool.setProcessEnvironment(m_environment);
        tool.start(QString::fromLatin1(pTool), arguments);
        SOutput output;
        if (!tool.waitForStarted(10000) || !tool.waitForFinished(30000)) {
            output.strErr = tool.errorString().toStdString();
            return output;
        }
        output.nStatus = tool.exitCode();
        output.strOut = tool.readAllStandardOutput().trimmed().toStdString();
        output.strErr = tool.readAllStandardError().toStdString();
        return output;
    }
    SOutput Playerctl(const QStringList& arguments) {
        return Run(KESTREL_PLAYERCTL, QStringList{"--player=kestrel"} + arguments);
    }

    CPrivateBus m_bus;
    CTempDir m_home;
    QProcessEnvironment m_environment;
    QProcess m_program;
};

TEST_F(PlayerctlTest, MetadataShowsTheStationAndNextRecallsTheNextPreset) {
    SOutput output = Playerctl({"metadata", "xesam:title"});
    ASSERT_EQ(output.nStatus, 0) << output.strErr;
    EXPECT_EQ(output.strOut, "Alpha FM");
    output = Playerctl({"metadata", "--format", "{{album}} {{status}}"});
    EXPECT_EQ(output.strOut, "FM Playing") << output.strErr;

    output = Playerctl({"next"});
    ASSERT_EQ(output.nStatus, 0) << output.strErr;
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}).strOut, "Bravo Radio");

    output = Playerctl({"play-pause"});
    ASSERT_EQ(output.nStatus, 0) << output.strErr;
    EXPECT_EQ(Playerctl({"status"}).strOut, "Paused");
    Playerctl({"play-pause"});
    EXPECT_EQ(Playerctl({"status"}).strOut, "Playing");

    // The script interface, as a shell script reaches it.
    output = Run(KESTREL_DBUS_SEND,
                 {"--session", "--print-reply", "--dest=io.github.kestrelradio.Kestrel",
                  "/io/github/kestrelradio/Kestrel", "io.github.kestrelradio.Kestrel1.RecallPreset",
                  "int32:2"});
    ASSERT_EQ(output.nStatus, 0) << output.strErr;
    EXPECT_EQ(Playerctl({"metadata", "xesam:title"}).strOut, "Alpha FM");
    output = Run(KESTREL_DBUS_SEND,
                 {"--session", "--print-reply", "--dest=io.github.kestrelradio.Kestrel",
                  "/io/github/kestrelradio/Kestrel", "io.github.kestrelradio.Kestrel1.State"});
    ASSERT_EQ(output.nStatus, 0) << output.strErr;
    EXPECT_NE(output.strOut.find("\"frequency\":\"80.00\""), std::string::npos) << output.strOut;
    output = Run(KESTREL_DBUS_SEND,
                 {"--session", "--print-reply", "--dest=io.github.kestrelradio.Kestrel",
                  "/io/github/kestrelradio/Kestrel", "io.github.kestrelradio.Kestrel1.RecallPreset",
                  "int32:3"});
    EXPECT_NE(output.nStatus, 0);
    EXPECT_NE(output.strErr.find("Error.Refused"), std::string::npos) << output.strErr;
}

}  // namespace
