#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <vector>

#include "platform/names/KestrelNames.h"
#include "platform/rds/RdsEncoder.h"
#include "platform/sdr/FmStereoSynth.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/ExitStatus.h"
#include "tests/control/DemoHome.h"
#include "tests/control/RemoteRig.h"

namespace {

// What one run of the kestrel program gave.
struct SRun {
    int nStatus = -1;
    std::string strOut;
    std::string strErr;
};

std::string Program() {
    const char* pBinary = std::getenv("KESTREL_BINARY_DIR");
    return pBinary ? std::string(pBinary) + "/bin/kestrel" : std::string();
}

// The program on the test's bus, in folders of the test's own: its profile,
// data source, runtime folder (the single-instance socket) and record folder.
class CProgram {
public:
    explicit CProgram(const std::string& strBusAddress) {
        m_environment = DemoEnvironment(m_home, strBusAddress);
        m_environment.remove(QStringLiteral("DISPLAY"));
        m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        // Any warning of Qt's on the command line's standard error fails the run.
        m_environment.insert(QStringLiteral("QT_FATAL_WARNINGS"), QStringLiteral("1"));
        std::ofstream(m_home.File("Kestrel.ini"))
            << "[SET]\nPATH=" << m_home.File("RadioRecord") << "\n";
    }

    void Set(const char* pName, const char* pValue) {
        m_environment.insert(QString::fromLatin1(pName), QString::fromLatin1(pValue));
    }
    // The profile's settings, written afresh.
    void WriteProfile(const std::string& strSettings) {
        std::ofstream(m_home.File("Kestrel.ini"))
            << "[SET]\nPATH=" << m_home.File("RadioRecord") << "\n"
            << strSettings;
    }
    std::string Profile() const {
        std::ifstream file(m_home.File("Kestrel.ini"));
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string RecordFolder() const { return m_home.File("RadioRecord"); }

    // Runs it with the event loop going, so that a copy of this process can
    // answer it.
    SRun Run(const QStringList& arguments) {
        return Start(QString::fromStdString(Program()), arguments);
    }
    // Runs it from a shell command line, where "$0" is the program: for bytes
    // that are no text.
    SRun RunShell(const std::string& strCommand) {
        return Start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"), QString::fromStdString(strCommand),
                      QString::fromStdString(Program())});
    }

private:
    SRun Start(const QString& strProgram, const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(strProgram, arguments);
        SRun run;
        if (!process.waitForStarted(10000)) {
            run.strErr = process.errorString().toStdString();
            return run;
        }
        CBusClient::WaitUntil([&] { return process.state() == QProcess::NotRunning; },
                              std::chrono::seconds(60));
        run.nStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.strOut = process.readAllStandardOutput().toStdString();
        run.strErr = process.readAllStandardError().toStdString();
        return run;
    }

    CTempDir m_home;
    QProcessEnvironment m_environment;
};

// A 16-bit stereo WAV's frames and rate; empty when it is none.
struct SWav {
    std::vector<int16_t> frames;
    uint32_t nRate = 0;
    bool bWhole = false;  // its data chunk says its true length
};
SWav ReadWav(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::string strData((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    SWav wav;
    const size_t nFormat = strData.find("fmt ");
    const size_t nData = strData.find("data");
    if (strData.rfind("RIFF", 0) != 0 || nFormat == std::string::npos ||
        nData == std::string::npos || nFormat + 16 > strData.size()) {
        return wav;
    }
    std::memcpy(&wav.nRate, strData.data() + nFormat + 12, sizeof(wav.nRate));
    uint32_t nDataBytes = 0;
    std::memcpy(&nDataBytes, strData.data() + nData + 4, sizeof(nDataBytes));
    // The samples fill the file, or the tags' LIST chunk follows them.
    const size_t nEnd = nData + 8 + nDataBytes;
    wav.bWhole =
        nEnd == strData.size() || (nEnd < strData.size() && strData.compare(nEnd, 4, "LIST") == 0);
    wav.frames.resize((std::min(nEnd, strData.size()) - nData - 8) / 2);
    std::memcpy(wav.frames.data(), strData.data() + nData + 8, wav.frames.size() * 2);
    return wav;
}

// A tone's amplitude in one channel over the second half, of full scale.
double Amplitude(const SWav& wav, size_t nChannel, double dHz) {
    const size_t nFrames = wav.frames.size() / 2;
    std::complex<double> sum;
    for (size_t n = nFrames / 2; n < nFrames; ++n) {
        sum += static_cast<double>(wav.frames[2 * n + nChannel]) *
               std::polar(1.0, -2 * std::numbers::pi * dHz * static_cast<double>(n) / wav.nRate);
    }
    return 2 * std::abs(sum) / static_cast<double>(nFrames - nFrames / 2) / 32767;
}

// The current preset set as the profile holds it: section KEYS alone.
std::string KeysSection(const std::string& strProfile) {
    const size_t nStart = strProfile.find("[KEYS]");
    if (nStart == std::string::npos) {
        return {};
    }
    return strProfile.substr(nStart, strProfile.find("\n[", nStart) - nStart);
}

QJsonDocument Json(const std::string& strText) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(strText));
}

class VerbsToARunningCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Program().empty());
        std::string strWhy;
        ASSERT_TRUE(m_remote.Open(strWhy)) << strWhy;
    }

    CRemoteRig m_remote;
    CProgram m_program{m_remote.m_bus.Address()};
};

TEST_F(VerbsToARunningCopyTest, TuneStatusAndRefusalsWithTheirStatuses) {
    SRun run = m_program.Run({"--tune", "82.5"});
    EXPECT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8250u);

    run = m_program.Run({"--status"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const QJsonObject state = Json(run.strOut).object();
    EXPECT_EQ(state.value("title").toString(), "Bravo");
    EXPECT_EQ(state.value("frequency").toString(), "82.50");

    run = m_program.Run({"--preset=9"});
    EXPECT_EQ(run.nStatus, KestrelExit::kRefused) << run.strErr;
    EXPECT_NE(run.strErr.find("preset 9 of FM is empty"), std::string::npos) << run.strErr;
    run = m_program.Run({"--tune", "95.0"});
    EXPECT_EQ(run.nStatus, KestrelExit::kUsage);
    EXPECT_NE(run.strErr.find("outside the band"), std::string::npos) << run.strErr;
    EXPECT_EQ(m_program.Run({"--stop"}).nStatus, KestrelExit::kRefused);
    EXPECT_EQ(m_program.Run({"--seek", "sideways"}).nStatus, KestrelExit::kUsage);
    EXPECT_EQ(m_program.Run({"--seek", "up", "--record"}).nStatus, KestrelExit::kUsage);

    m_remote.Unplug();
    run = m_program.Run({"--preset", "5"});
    EXPECT_EQ(run.nStatus, KestrelExit::kReceiverAbsent);
    EXPECT_NE(run.strErr.find("not plugged in"), std::string::npos) << run.strErr;
}

TEST_F(VerbsToARunningCopyTest, RecordStopAndTasks) {
    SRun run = m_program.Run({"--tune", "80.0", "--record", "--for", "30m"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(m_remote.Window().Recording(), 1);
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8000u) << "tuned first";
    const std::string strFile = run.strOut.substr(0, run.strOut.find('\n'));
    run = m_program.Run({"--stop"});
    EXPECT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(run.strOut, strFile + "\n");
    EXPECT_EQ(m_remote.Window().Recording(), 0);

    run = m_program.Run(
        {"--add-task", "2007-05-01 15:00", "2007-05-01 15:30", "FM 82.5", "Afternoon"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const int nId = std::stoi(run.strOut);
    run = m_program.Run({"--tasks"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const QJsonArray tasks = Json(run.strOut).array();
    ASSERT_EQ(tasks.size(), 1);
    EXPECT_EQ(tasks[0].toObject().value("id").toInt(), nId);
    EXPECT_EQ(tasks[0].toObject().value("memo").toString(), "Afternoon");

    run = m_program.Run({"--add-task", "2007-05-01 15:10", "2007-05-01 15:20", "82.5"});
    EXPECT_EQ(run.nStatus, KestrelExit::kRefused);
    EXPECT_NE(run.strErr.find("Record time conflict!"), std::string::npos) << run.strErr;

    // A weekly one with padding: its row is the padded first occurrence,
    // its job starts early, and --tasks shows the rule.
    run = m_program.Run({"--add-task", "2007-05-02 18:00", "2007-05-02 19:00", "82.5", "Jazz",
                         "--repeat", "weekly", "--pad-before", "2", "--pad-after", "5"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const int nWeekly = std::stoi(run.strOut);
    const QJsonObject weekly = Json(m_program.Run({"--tasks"}).strOut).array()[1].toObject();
    EXPECT_EQ(weekly.value("id").toInt(), nWeekly);
    EXPECT_EQ(weekly.value("repeat").toString(), "weekly");
    EXPECT_EQ(weekly.value("padBefore").toInt(), 2);
    EXPECT_EQ(weekly.value("padAfter").toInt(), 5);
    EXPECT_TRUE(weekly.value("begin").toString().endsWith("17:58:00"))
        << weekly.value("begin").toString().toStdString();
    EXPECT_TRUE(weekly.value("end").toString().endsWith("19:05:00"));
    const auto job = m_remote.m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nWeekly));
    ASSERT_TRUE(job);
    EXPECT_EQ(job->begin % 86400, (17 * 60 + 58) * 60);
    // A week on, the second occurrence collides with a new task.
    run = m_program.Run({"--add-task", "2007-05-09 18:30", "2007-05-09 18:45", "82.5"});
    EXPECT_EQ(run.nStatus, KestrelExit::kRefused);
}

// A seek answers once it has ended; a preset says what it tuned, also when the
// region folded it into the band; the volume is on MPRIS's scale.
TEST_F(VerbsToARunningCopyTest, VerbsAnswerWhatTheRadioDid) {
    SRun run = m_program.Run({"--seek", "up"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_FALSE(m_remote.Core().IsSeeking());
    EXPECT_EQ(run.strOut, m_remote.Window().Core().ChannelText() + "\n");

    m_remote.Preset(3, 10090, "Euro FM");  // stored under another region's band
    run = m_program.Run({"--preset", "3"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(run.strOut, "FM 76.00MHz\n");
    EXPECT_NE(run.strErr.find("preset 3 holds FM 100.90MHz, outside the band"), std::string::npos)
        << run.strErr;
    run = m_program.Run({"--preset", "5"});
    EXPECT_EQ(run.strOut, "FM 82.50MHz\n");
    EXPECT_EQ(run.strErr, "");

    // The running copy scans and answers when the band is done.
    const unsigned nListening = m_remote.Core().CurrentFrequency();
    run = m_program.Run({"--scan", "--band", "FM"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const QJsonObject scan = Json(run.strOut).object();
    EXPECT_EQ(scan.value("band").toString(), "FM");
    EXPECT_FALSE(scan.value("cancelled").toBool());
    EXPECT_TRUE(scan.value("stored").toArray().isEmpty());
    EXPECT_EQ(m_remote.Core().CurrentFrequency(), nListening);

    m_remote.m_rig.Card().SetMasterVolume(0xC000);
    run = m_program.Run({"--status"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_DOUBLE_EQ(Json(run.strOut).object().value("volume").toDouble(), 0.75);
}

// The command line's own checks come first, with what is wrong in words.
TEST_F(VerbsToARunningCopyTest, TasksWithAnImpossibleDateOrMemoAreRefusedUnstored) {
    SRun run = m_program.Run({"--add-task", "2026-02-30 18:00", "2026-02-30 19:00", "82.5"});
    EXPECT_EQ(run.nStatus, KestrelExit::kUsage);
    EXPECT_NE(run.strErr.find("the date 2026-02-30 does not exist"), std::string::npos)
        << run.strErr;
    const std::string strAdd = "exec \"$0\" --add-task '2007-05-01 15:00' '2007-05-01 15:30' 82.5 ";
    for (const std::string& strMemo :
         std::vector<std::string>{"\"$(printf '%10000s' m)\"", "\"$(printf 'bad \\377 byte')\""}) {
        run = m_program.RunShell(strAdd + strMemo);
        EXPECT_EQ(run.nStatus, KestrelExit::kUsage);
        EXPECT_NE(run.strErr.find("The memo can hold up to 255 characters"), std::string::npos)
            << run.strErr.substr(0, 200);
    }
    run = m_program.Run({"--tasks"});
    EXPECT_EQ(run.strOut, "[]\n");
}

// No copy runs on the bus: the verbs run the simulated radio with no window.
class VerbsWithNoCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Program().empty());
        ASSERT_TRUE(m_bus.IsRunning()) << m_bus.Error();
    }

    CPrivateBus m_bus;
    CProgram m_program{m_bus.Address()};
};

TEST_F(VerbsWithNoCopyTest, RunWithNoWindowAndEnd) {
    SRun run = m_program.Run({"--tune", "81.3"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_NE(m_program.Profile().find("8130"), std::string::npos) << m_program.Profile();

    run = m_program.Run({"--status"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const QJsonObject state = Json(run.strOut).object();
    EXPECT_TRUE(state.value("receiver").toBool());
    EXPECT_EQ(state.value("frequency").toString(), "81.30");

    run = m_program.Run({"--tasks"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(run.strOut, "[]\n");
    // Refused before any job is made, in the words of the shipped language file.
    run = m_program.Run({"--add-task", "2001-01-01 10:00", "2001-01-01 11:00", "81.3"});
    EXPECT_EQ(run.nStatus, KestrelExit::kRefused);
    EXPECT_NE(run.strErr.find("kestrel: The"), std::string::npos) << run.strErr;

    run = m_program.Run({"--stop"});
    EXPECT_EQ(run.nStatus, KestrelExit::kNoCopy);
    EXPECT_NE(run.strErr.find("no running copy"), std::string::npos) << run.strErr;

    m_program.Set("KESTREL_SIMULATE", "unplugged");
    EXPECT_EQ(m_program.Run({"--tune", "81.3"}).nStatus, KestrelExit::kReceiverAbsent);
}

// A scan on the simulated dongle: its stations as JSON, the names they
// send, and the free presets filled; then the sets and a file in and out.
TEST_F(VerbsWithNoCopyTest, AScanStoresItsStationsAndThePresetsTravelAsFiles) {
    m_program.WriteProfile("RECEIVER=sdr\nBAND=1\n");  // Japan: 76-90 MHz, one station
    SRun run = m_program.Run({"--scan", "--store", "free"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const QJsonObject scan = Json(run.strOut).object();
    const QJsonArray stations = scan.value("stations").toArray();
    ASSERT_EQ(stations.size(), 1) << run.strOut;
    EXPECT_EQ(stations[0].toObject().value("frequency").toString(), "88.10");
    EXPECT_EQ(stations[0].toObject().value("station").toString(), "KESTREL");
    EXPECT_NE(KeysSection(m_program.Profile()).find("KEY_FM_0_Title=KESTREL"), std::string::npos);

    const std::string strFile = m_program.RecordFolder() + ".json";
    run = m_program.Run({"--export-presets", QString::fromStdString(strFile)});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(m_program.Run({"--new-preset-set", "Car"}).nStatus, KestrelExit::kOk);
    run = m_program.Run({"--preset-set", "Car"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(KeysSection(m_program.Profile()).find("KEY_FM_0_Title=KESTREL"), std::string::npos);

    // Shown, not made, until --yes.
    run = m_program.Run({"--import-presets", QString::fromStdString(strFile)});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_NE(run.strOut.find("slot 0: empty -> FM 88.10MHz  KESTREL"), std::string::npos)
        << run.strOut;
    EXPECT_EQ(KeysSection(m_program.Profile()).find("KEY_FM_0_Title=KESTREL"), std::string::npos);
    run = m_program.Run({"--import-presets", QString::fromStdString(strFile), "--yes"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_NE(KeysSection(m_program.Profile()).find("KEY_FM_0_Title=KESTREL"), std::string::npos);

    run = m_program.Run({"--preset-sets"});
    const QJsonObject sets = Json(run.strOut).object();
    EXPECT_EQ(sets.value("current").toString(), "Car");
    EXPECT_EQ(sets.value("sets").toArray().size(), 2);
    EXPECT_EQ(m_program.Run({"--preset-set", "Boat"}).nStatus, KestrelExit::kRefused);

    std::ofstream(strFile) << "{\"format\": \"kestrel-presets\", \"version\": 1, \"presets\": [";
    run = m_program.Run({"--import-presets", QString::fromStdString(strFile), "--yes"});
    EXPECT_EQ(run.nStatus, KestrelExit::kFailed);
    EXPECT_NE(run.strErr.find("line 1: the file is not whole JSON"), std::string::npos)
        << run.strErr;
    EXPECT_NE(KeysSection(m_program.Profile()).find("KEY_FM_0_Title=KESTREL"), std::string::npos);
}

// On the real back-ends too, a wrong value is said before anything opens,
// and a verb that does not record never looks for a sound card.
TEST_F(VerbsWithNoCopyTest, ValuesAreCheckedFirstAndOnlyWhatAVerbUsesOpens) {
    m_program.Set("KESTREL_SIMULATE", "0");
    SRun run = m_program.Run({"--tune", "abc"});
    EXPECT_EQ(run.nStatus, KestrelExit::kUsage);
    EXPECT_EQ(run.strErr.rfind("kestrel: --tune needs a frequency", 0), 0u) << run.strErr;
    for (const char* pVerb : {"--status", "--tasks"}) {
        run = m_program.Run({pVerb});
        EXPECT_EQ(run.nStatus, KestrelExit::kOk) << pVerb << ": " << run.strErr;
        EXPECT_EQ(run.strErr.find("audio"), std::string::npos) << pVerb << ": " << run.strErr;
    }
}

TEST_F(VerbsWithNoCopyTest, RecordsForItsLengthAndLeavesTheFile) {
    const SRun run = m_program.Run({"--record", "--for", "2s"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const std::string strFile = run.strOut.substr(0, run.strOut.find('\n'));
    EXPECT_EQ(strFile.rfind(m_program.RecordFolder(), 0), 0u) << strFile;
    ASSERT_TRUE(std::filesystem::exists(strFile));
    EXPECT_GT(std::filesystem::file_size(strFile), 0u);
}

// An IQ recording of the air, round and round, is the receiver: the verb
// tunes its station and records it for its length.
TEST_F(VerbsWithNoCopyTest, AnIqRecordingIsTunedAndRecorded) {
    CRdsEncoder::SStation rds;
    rds.nPi = 0xC0DE;
    rds.strName = "KESTREL";
    CFmStereoSynth::SStation station;
    station.dOffsetHz = 200'000;
    station.left = {{1000, 0.4}};
    station.right = {{2000, 0.4}};
    station.rds = CRdsEncoder(rds).Cycle();
    std::vector<std::complex<float>> iq;
    CFmStereoSynth(960'000, {station}, 0.05).Generate(iq, 3 * 960'000);
    const std::string strFile =
        m_program.RecordFolder() + "-gqrx_20261209_183000_98300000_960000_fc.raw";
    std::ofstream(strFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(iq.data()),
               static_cast<std::streamsize>(iq.size() * sizeof(iq[0])));

    m_program.WriteProfile("BAND=0\n");  // Europe: 87.5-108 MHz
    SRun run = m_program.Run({"--iq-file", QString::fromStdString(strFile), "--tune", "98.5"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_NE(m_program.Profile().find("9850"), std::string::npos) << m_program.Profile();

    // One command: the station tuned, recorded as WAV, its name told.
    m_program.WriteProfile("BAND=0\nRECOTYPE=1\n");
    run = m_program.Run({"--iq-file", QString::fromStdString(strFile), "--tune", "98.5", "--record",
                         "--for", "3s"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    const std::string strRecording = run.strOut.substr(0, run.strOut.find('\n'));
    ASSERT_TRUE(std::filesystem::exists(strRecording)) << run.strOut;
    EXPECT_NE(run.strOut.find("\nstation: KESTREL\n"), std::string::npos) << run.strOut;
    const SWav wav = ReadWav(strRecording);
    ASSERT_GT(wav.nRate, 0u) << strRecording;
    // Its length to the tenth of a second, not to the calendar's second.
    EXPECT_GE(static_cast<double>(wav.frames.size() / 2), 2.9 * wav.nRate);
    EXPECT_GT(Amplitude(wav, 0, 1000), 10 * Amplitude(wav, 0, 2000)) << "left";
    EXPECT_GT(Amplitude(wav, 1, 2000), 10 * Amplitude(wav, 1, 1000)) << "right";

    // A script that reads the file's name only: the station's line after it
    // finds no reader, and the recording is still finished whole.
    run = m_program.RunShell("\"$0\" --iq-file '" + strFile +
                             "' --tune 98.5 --record --for 3s | head -n 1");
    const std::string strPiped = run.strOut.substr(0, run.strOut.find('\n'));
    ASSERT_TRUE(std::filesystem::exists(strPiped)) << run.strOut << run.strErr;
    EXPECT_TRUE(ReadWav(strPiped).bWhole) << strPiped;

    // A recording that is no recording ends the start with its cause.
    run = m_program.Run({"--iq-file", QString::fromStdString(strFile + ".missing"), "--status"});
    EXPECT_NE(run.nStatus, KestrelExit::kOk);
    EXPECT_NE(run.strErr.find("cannot be played"), std::string::npos) << run.strErr;
}

// The set-up step says what it did, and on a second run that all is in place.
TEST_F(VerbsWithNoCopyTest, TheDataSourceSetUpSaysWhenNothingIsLeftToDo) {
    SRun run = m_program.Run({"--setup-data-source"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_NE(run.strOut.find("Registered the ODBC data source KestrelRadio"), std::string::npos)
        << run.strOut;
    run = m_program.Run({"--setup-data-source"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_EQ(run.strOut,
              "kestrel: the data source KestrelRadio and its tables are in place; nothing to do\n");
}

TEST(VerbsWithNoBusTest, StillRunWithNoWindow) {
    CPrivateBus bus;
    CProgram program(bus.AbsentAddress());
    const SRun run = program.Run({"--status"});
    ASSERT_EQ(run.nStatus, KestrelExit::kOk) << run.strErr;
    EXPECT_TRUE(Json(run.strOut).object().value("receiver").toBool());
    EXPECT_EQ(program.Run({"--stop"}).nStatus, KestrelExit::kNoCopy);
}

}  // namespace
