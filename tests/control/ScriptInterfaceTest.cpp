#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "control/RadioController.h"
#include "control/ScriptInterface.h"
#include "platform/names/KestrelNames.h"
#include "presets/PresetStore.h"
#include "settings/LanguageTexts.h"
#include "tests/control/RemoteRig.h"

namespace {

using namespace std::chrono_literals;

// What a script hears of a scan while it runs.
class CScanListener : public QObject {
    Q_OBJECT

public:
    int m_nSignals = 0;
    int m_nLastChannel = 0;
    int m_nChannels = 0;

public Q_SLOTS:
    void OnProgress(int nChannel, int nChannels, const QString&, int) {
        ++m_nSignals;
        m_nLastChannel = nChannel;
        m_nChannels = nChannels;
    }
};

class ScriptInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string strWhy;
        ASSERT_TRUE(m_remote.Open(strWhy)) << strWhy;
    }

    QDBusMessage Call(const char* pMethod, const QVariantList& arguments = {}) {
        return m_remote.Client().Call(
            QString::fromLatin1(CControlBus::kService), QString::fromLatin1(CControlBus::kPath),
            QString::fromLatin1(CControlBus::kInterface), QString::fromLatin1(pMethod), arguments);
    }
    static std::string Error(const QDBusMessage& reply) {
        return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName().toStdString() : "";
    }
    QJsonObject State() {
        const QDBusMessage reply = Call("State");
        return QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).object();
    }
    // "2007-05-01 14:10" for a number of minutes after the rig's clock (UTC).
    std::string Minutes(int nMinutes) {
        const std::time_t when = m_remote.m_rig.m_clock.Now() + nMinutes * 60;
        std::tm utc{};
        gmtime_r(&when, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &utc);
        return text;
    }
    QDBusMessage AddTask(int nBegin, int nEnd, const char* pChannel, const char* pMemo = "") {
        return Call("AddTask",
                    {QString::fromStdString(Minutes(nBegin)), QString::fromStdString(Minutes(nEnd)),
                     QString::fromLatin1(pChannel), QString::fromUtf8(pMemo)});
    }

    CRemoteRig m_remote;
};

TEST_F(ScriptInterfaceTest, TuneTakesFmAndAmAndRefusesWhatIsNoFrequencyOfTheBand) {
    EXPECT_EQ(Error(Call("Tune", {QStringLiteral("82.5")})), "");
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8250u);
    EXPECT_NE(m_remote.Window().Banner().find("Bravo"), std::string::npos);  // the preset sync ran

    EXPECT_EQ(Error(Call("Tune", {QStringLiteral("AM 1008")})), "");
    EXPECT_EQ(m_remote.Core().Band(), CTuner::BAND_AM);
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_AM), 1008u);
    EXPECT_TRUE(m_remote.Window().GetDlgItemAs<QAbstractButton>(CRadioDlg::IDC_AM)->isChecked());

    EXPECT_EQ(Error(Call("Tune", {QStringLiteral("88.1 MHz")})), "");
    EXPECT_EQ(m_remote.Core().Band(), CTuner::BAND_FM);
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8810u);

    // Japan's band ends at 90 MHz.
    for (const char* pBad : {"95.0", "abc", "", "-80", "80.0 kHz", "1e400"}) {
        EXPECT_EQ(Error(Call("Tune", {QString::fromLatin1(pBad)})),
                  CScriptInterface::kErrorBadValue)
            << pBad;
    }
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8810u);
}

TEST_F(ScriptInterfaceTest, PresetsSeeksAndTheReceiverAbsent) {
    EXPECT_EQ(Error(Call("RecallPreset", {5})), "");
    EXPECT_EQ(m_remote.Core().Frequency(CTuner::BAND_FM), 8250u);
    EXPECT_EQ(Error(Call("RecallPreset", {9})), CScriptInterface::kErrorRefused);
    EXPECT_EQ(Error(Call("RecallPreset", {100})), CScriptInterface::kErrorBadValue);
    EXPECT_EQ(Error(Call("Seek", {QStringLiteral("sideways")})), CScriptInterface::kErrorBadValue);

    m_remote.Unplug();
    EXPECT_EQ(Error(Call("Tune", {QStringLiteral("82.5")})),
              CScriptInterface::kErrorReceiverAbsent);
    EXPECT_EQ(Error(Call("RecallPreset", {2})), CScriptInterface::kErrorReceiverAbsent);
    EXPECT_EQ(Error(Call("Seek", {QStringLiteral("up")})), CScriptInterface::kErrorReceiverAbsent);
    EXPECT_EQ(Error(Call("StartRecording", {QVariant::fromValue<qlonglong>(0)})),
              CScriptInterface::kErrorReceiverAbsent);
    EXPECT_FALSE(State().value("receiver").toBool());
}

// A preset answers the channel it tuned, with a note where the region's
// band folded it; a seek answers when it has ended.
TEST_F(ScriptInterfaceTest, PresetsAndSeeksAnswerWhereTheyLanded) {
    QDBusMessage reply = Call("RecallPreset", {5});
    ASSERT_EQ(Error(reply), "");
    EXPECT_EQ(reply.arguments(), (QVariantList{QStringLiteral("FM 82.50MHz"), QString()}));
    m_remote.Preset(3, 10090, "Euro FM");
    reply = Call("RecallPreset", {3});
    ASSERT_EQ(reply.arguments().size(), 2);
    EXPECT_EQ(reply.arguments()[0].toString(), "FM 76.00MHz");
    EXPECT_TRUE(reply.arguments()[1].toString().contains("outside the band"));

    reply = Call("Seek", {QStringLiteral("up")});
    ASSERT_EQ(Error(reply), "");
    EXPECT_FALSE(m_remote.Core().IsSeeking());
    EXPECT_EQ(reply.arguments().value(0).toString().toStdString(),
              m_remote.Window().Core().ChannelText());
}

TEST_F(ScriptInterfaceTest, StateSaysWhatTheWindowShows) {
    QJsonObject state = State();
    EXPECT_TRUE(state.value("receiver").toBool());
    EXPECT_EQ(state.value("band").toString(), "FM");
    EXPECT_EQ(state.value("frequency").toString(), "80.00");
    EXPECT_EQ(state.value("preset").toInt(), 2);
    EXPECT_EQ(state.value("title").toString(), "Alpha");
    EXPECT_FALSE(state.value("recording").toBool());

    m_remote.Window().StepChannel(true);
    state = State();
    EXPECT_EQ(state.value("frequency").toString(), "80.10");
    EXPECT_EQ(state.value("preset").toInt(), -1);
    EXPECT_EQ(state.value("title").toString(), "");
}

TEST_F(ScriptInterfaceTest, RecordingsStartStopAndEndAfterTheirLength) {
    QDBusMessage reply = Call("StartRecording", {QVariant::fromValue<qlonglong>(0)});
    ASSERT_EQ(Error(reply), "") << reply.errorMessage().toStdString();
    const std::string strFile = reply.arguments().value(0).toString().toStdString();
    EXPECT_EQ(strFile.rfind(m_remote.m_rig.RecordFolder(), 0), 0u) << strFile;
    EXPECT_EQ(m_remote.Window().Recording(), 1);  // the window's lamp and timer
    EXPECT_EQ(Error(Call("StartRecording", {QVariant::fromValue<qlonglong>(0)})),
              CScriptInterface::kErrorRefused);

    reply = Call("StopRecording");
    ASSERT_EQ(Error(reply), "");
    EXPECT_EQ(reply.arguments().value(0).toString().toStdString(), strFile);
    EXPECT_TRUE(std::filesystem::exists(strFile));
    EXPECT_EQ(m_remote.Window().Recording(), 0);
    EXPECT_EQ(Error(Call("StopRecording")), CScriptInterface::kErrorRefused);
    EXPECT_EQ(Error(Call("StartRecording", {QVariant::fromValue<qlonglong>(-1)})),
              CScriptInterface::kErrorBadValue);

    ASSERT_EQ(Error(Call("StartRecording", {QVariant::fromValue<qlonglong>(60)})), "");
    m_remote.m_rig.m_clock.Advance(59s);
    CBusClient::WaitUntil([] { return false; }, 600ms);
    EXPECT_EQ(m_remote.Window().Recording(), 1);
    m_remote.m_rig.m_clock.Advance(1s);
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return m_remote.Window().Recording() == 0; }));
}

// The same rule the window and the command line store, and the same job.
TEST_F(ScriptInterfaceTest, ARepeatingTaskStoresItsRuleAndItsPaddedJob) {
    QDBusMessage reply =
        Call("AddRepeatingTask",
             {QString::fromStdString(Minutes(60)), QString::fromStdString(Minutes(90)),
              QStringLiteral("82.5"), QStringLiteral("Jazz"), QStringLiteral("mon,fri"),
              QStringLiteral("2007-06-30"), 0, 3, 4, 5, 0});
    ASSERT_EQ(Error(reply), "") << reply.errorMessage().toStdString();
    const int nId = reply.arguments().value(0).toInt();
    const auto job = m_remote.m_rig.m_scheduler.WorkItem(KestrelNames::WorkItemName(nId));
    ASSERT_TRUE(job);
    // 2007-05-01 is a Tuesday: the first is Friday's, three minutes early.
    EXPECT_EQ(job->begin, m_remote.m_rig.m_clock.Now() + 3600 + 3 * 86400 - 180 -
                              m_remote.m_rig.m_clock.Now() % 60);
    const QJsonArray tasks =
        QJsonDocument::fromJson(Call("ListTasks").arguments().value(0).toString().toUtf8()).array();
    ASSERT_EQ(tasks.size(), 1);
    const QJsonObject task = tasks[0].toObject();
    EXPECT_EQ(task.value("repeat").toString(), "mon,fri");
    EXPECT_EQ(task.value("until").toString(), "2007-06-30");
    EXPECT_EQ(task.value("keepLast").toInt(), 5);

    reply = Call("AddRepeatingTask",
                 {QString::fromStdString(Minutes(200)), QString::fromStdString(Minutes(230)),
                  QStringLiteral("82.5"), QString(), QStringLiteral("fortnightly"), QString(), 0, 0,
                  0, 0, 0});
    EXPECT_EQ(Error(reply), CScriptInterface::kErrorBadValue);
    EXPECT_TRUE(reply.errorMessage().contains("fortnightly"));
}

TEST_F(ScriptInterfaceTest, TasksGoThroughTheNewTaskChecks) {
    QDBusMessage reply = AddTask(10, 40, "FM 82.5", "Morning news");
    ASSERT_EQ(Error(reply), "") << reply.errorMessage().toStdString();
    const int nId = reply.arguments().value(0).toInt();
    EXPECT_GT(nId, 0);
    EXPECT_EQ(m_remote.m_rig.m_scheduler.WorkItems().size(), 1u);

    // The window's refusals, in the window's order, in its words.
    reply = AddTask(0, 40, "82.5");
    EXPECT_EQ(Error(reply), CScriptInterface::kErrorRefused);
    EXPECT_EQ(reply.errorMessage(), "Can't record before time");
    EXPECT_EQ(AddTask(50, 45, "82.5").errorMessage(), "End time must at begin time after");
    EXPECT_TRUE(AddTask(40, 60, "82.5").errorMessage().startsWith("Record time conflict!\n#"));
    EXPECT_EQ(AddTask(60, 70, "108.1").errorMessage(), "Freq out");
    EXPECT_EQ(Error(AddTask(60, 70, "near the lake")), CScriptInterface::kErrorBadValue);
    EXPECT_EQ(
        Error(Call("AddTask", {QStringLiteral("tomorrow"), QString::fromStdString(Minutes(70)),
                               QStringLiteral("82.5"), QString()})),
        CScriptInterface::kErrorBadValue);

    // The memo's limits of the window hold here too.
    reply = AddTask(60, 70, "82.5", std::string(256, 'm').c_str());
    EXPECT_EQ(Error(reply), CScriptInterface::kErrorRefused);
    EXPECT_EQ(reply.errorMessage().toStdString(), CLanguageTexts::EnglishMessage("MESSAGE_30"));
    EXPECT_EQ(Error(AddTask(60, 70, "82.5", "two\nlines")), CScriptInterface::kErrorRefused);

    reply = Call("ListTasks");
    const QJsonArray tasks =
        QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).array();
    ASSERT_EQ(tasks.size(), 1);
    const QJsonObject task = tasks[0].toObject();
    EXPECT_EQ(task.value("id").toInt(), nId);
    EXPECT_EQ(task.value("band").toString(), "FM");
    EXPECT_EQ(task.value("frequency").toString(), "82.50");
    EXPECT_EQ(task.value("memo").toString(), "Morning news");
    EXPECT_FALSE(task.value("mute").toBool());
}

// A scan answers when the band is done, with what it found and stored, and
// tells its progress meanwhile; a bad band or store is refused.
TEST_F(ScriptInterfaceTest, AScanAnswersItsStationsAndStoresThemWhenAsked) {
    EXPECT_EQ(Error(Call("Scan", {QStringLiteral("LW"), QString()})),
              CScriptInterface::kErrorBadValue);
    EXPECT_EQ(Error(Call("Scan", {QStringLiteral("FM"), QStringLiteral("all")})),
              CScriptInterface::kErrorBadValue);
    CScanListener listener;
    ASSERT_TRUE(m_remote.Client().Connection().connect(
        QString::fromLatin1(CControlBus::kService), QString::fromLatin1(CControlBus::kPath),
        QString::fromLatin1(CControlBus::kInterface), QStringLiteral("ScanProgress"), &listener,
        SLOT(OnProgress(int, int, QString, int))));
    const unsigned nBefore = m_remote.Core().CurrentFrequency();
    const QDBusMessage reply = Call("Scan", {QStringLiteral("FM"), QStringLiteral("band")});
    ASSERT_EQ(Error(reply), "") << reply.errorMessage().toStdString();
    const QJsonObject json =
        QJsonDocument::fromJson(reply.arguments().value(0).toString().toUtf8()).object();
    EXPECT_EQ(json.value("band").toString(), "FM");
    EXPECT_FALSE(json.value("cancelled").toBool());
    // The band replaced: the stations in slots from 0, the rest emptied.
    const QJsonArray stations = json.value("stations").toArray();
    ASSERT_FALSE(stations.isEmpty());
    CPresetStore presets(m_remote.m_rig.m_profile);
    for (int n = 0; n < CPresetStore::kSlots; ++n) {
        const PresetEntry entry = presets.ReadEntry(CPresetStore::BAND_FM, n);
        if (n >= stations.size()) {
            EXPECT_EQ(presets.ReadValue(CPresetStore::BAND_FM, n), 0u) << n;
            continue;
        }
        EXPECT_EQ(CPresetStore::FrequencyNumber(CPresetStore::BAND_FM, entry.nFrequency),
                  stations[n].toObject().value("frequency").toString().toStdString());
    }
    EXPECT_EQ(m_remote.Core().CurrentFrequency(), nBefore);
    CBusClient::WaitUntil([&] { return listener.m_nLastChannel == listener.m_nChannels; }, 2s);
    EXPECT_GT(listener.m_nSignals, 0);
    EXPECT_GT(listener.m_nChannels, 100);
    EXPECT_EQ(listener.m_nLastChannel, listener.m_nChannels);
}

// A scan would retune what is being recorded: refused while a recording runs.
TEST_F(ScriptInterfaceTest, NoScanWhileRecording) {
    ASSERT_EQ(Error(Call("StartRecording", {QVariant::fromValue<qlonglong>(0)})), "");
    const QDBusMessage reply = Call("Scan", {QStringLiteral("FM"), QString()});
    EXPECT_EQ(Error(reply), CScriptInterface::kErrorRefused);
    EXPECT_TRUE(reply.errorMessage().contains("recording"));
    EXPECT_EQ(Error(Call("StopRecording")), "");
}

TEST(RadioControllerTest, ParsesFrequenciesTimesAndNothingElse) {
    std::string strWhy;
    const auto parse = [&](const char* pText) {
        const auto frequency = CRadioController::ParseFrequency(pText, strWhy);
        return frequency
                   ? std::to_string(frequency->nBand) + ":" + std::to_string(frequency->nFrequency)
                   : std::string("none");
    };
    EXPECT_EQ(parse("80.0"), "1:8000");
    EXPECT_EQ(parse(" fm 76.05 "), "1:7605");
    EXPECT_EQ(parse("100"), "1:10000");  // below 300: MHz
    EXPECT_EQ(parse("1008"), "0:1008");
    EXPECT_EQ(parse("AM 531"), "0:531");
    EXPECT_EQ(parse("531 kHz"), "0:531");
    EXPECT_EQ(parse("FM"), "none");
    EXPECT_EQ(parse("80,0"), "none");
    EXPECT_EQ(parse("0"), "none");
    EXPECT_EQ(parse("nan"), "none");

    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(CRadioController::ParseTime("2026-12-24 18:00", strWhy), std::time_t{1798135200});
    EXPECT_EQ(CRadioController::ParseTime("2026-12-24T18:00:59", strWhy), std::time_t{1798135200});
    for (const char* pBad : {"2026-12-24", "2026-12-24 24:00", "18:00", "2026-12-24 18:00 tomorrow",
                             "2026-1-2 3:04"}) {
        EXPECT_FALSE(CRadioController::ParseTime(pBad, strWhy).has_value()) << pBad;
        EXPECT_NE(strWhy.find("is written as 2026-12-24 18:00"), std::string::npos) << pBad;
    }
}

// A time of the right form that the calendar or the clocks do not have is
// said to be so, not to be written wrongly.
TEST(RadioControllerTest, DaysAndHoursThatDoNotExistAreNamed) {
    std::string strWhy;
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_FALSE(CRadioController::ParseTime("2026-02-30 18:00", strWhy).has_value());
    EXPECT_EQ(strWhy, "the date 2026-02-30 does not exist");
    EXPECT_FALSE(CRadioController::ParseTime("2027-02-29 18:00", strWhy).has_value());
    EXPECT_EQ(strWhy, "the date 2027-02-29 does not exist");
    EXPECT_TRUE(CRadioController::ParseTime("2028-02-29 18:00", strWhy).has_value());

    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_FALSE(CRadioController::ParseTime("2026-03-29 02:30", strWhy).has_value());
    EXPECT_EQ(strWhy, "the time 2026-03-29 02:30 does not exist here: the clocks skip it");
    EXPECT_TRUE(CRadioController::ParseTime("2026-03-29 03:30", strWhy).has_value());
    setenv("TZ", "UTC", 1);
    tzset();
}

}  // namespace

#include "ScriptInterfaceTest.moc"
