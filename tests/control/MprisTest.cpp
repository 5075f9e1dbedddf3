#include <QAbstractButton>
#include <QAbstractSlider>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <memory>

#include "control/MprisPlayerAdaptor.h"
#include "platform/window/WindowMessages.h"
#include "presets/ChannelWord.h"
#include "schedule/TaskSet.h"
#include "tests/control/RemoteRig.h"

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.kestrel");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// One PropertiesChanged of the player, as a watcher on the bus saw it.
struct SChange {
    QString strInterface;
    QVariantMap changed;
};

class CChangeWatcher : public QObject {
    Q_OBJECT

public:
    explicit CChangeWatcher(QDBusConnection& connection) {
        connection.connect(QString(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(OnChanged(QString, QVariantMap, QStringList)));
    }
    std::vector<SChange> m_changes;

    bool Saw(const QString& strProperty) const {
        for (const SChange& change : m_changes) {
            if (change.changed.contains(strProperty)) {
                return true;
            }
        }
        return false;
    }

public Q_SLOTS:
    void OnChanged(const QString& strInterface, const QVariantMap& changed, const QStringList&) {
        m_changes.push_back({strInterface, changed});
    }
};

class MprisTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string strWhy;
        ASSERT_TRUE(m_remote.Open(strWhy)) << strWhy;
    }

    QVariant Player(const char* pProperty) {
        return Client().Get(kService, kPath, kPlayer, QString::fromLatin1(pProperty));
    }
    QDBusMessage Call(const char* pMethod) {
        return Client().Call(kService, kPath, kPlayer, QString::fromLatin1(pMethod));
    }
    QVariantMap Metadata() {
        QVariantMap metadata;
        Player("Metadata").value<QDBusArgument>() >> metadata;
        return metadata;
    }
    unsigned Frequency() { return m_remote.Core().Frequency(CTuner::BAND_FM); }
    CRadioDlg& Window() { return m_remote.Window(); }
    CBusClient& Client() { return m_remote.Client(); }

    CRemoteRig m_remote;
};

TEST_F(MprisTest, NamesItselfAndShowsTheStationTuned) {
    EXPECT_EQ(Client().Get(kService, kPath, kRoot, QStringLiteral("Identity")).toString(),
              "Kestrel");
    EXPECT_EQ(Client().Get(kService, kPath, kRoot, QStringLiteral("DesktopEntry")).toString(),
              "io.github.kestrelradio.Kestrel");
    EXPECT_EQ(Player("PlaybackStatus").toString(), "Playing");
    EXPECT_FALSE(Player("CanSeek").toBool());
    EXPECT_TRUE(Player("CanGoNext").toBool());
    EXPECT_TRUE(Player("CanControl").toBool());
    EXPECT_TRUE(Client().Get(kService, kPath, kRoot, QStringLiteral("CanRaise")).toBool());

    QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Alpha");
    EXPECT_EQ(metadata.value("xesam:album").toString(), "FM");
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/io/github/kestrelradio/Kestrel/Station/FM8000");

    // A preset without a title, and a frequency no preset holds, show the
    // frequency.
    Window().StepChannel(true);
    EXPECT_EQ(Metadata().value("xesam:title").toString(), "FM 80.10MHz");
}

TEST_F(MprisTest, PlayPauseMutesAndUnmutesTheWindow) {
    ASSERT_EQ(Window().Mute(), 0);
    ASSERT_EQ(Call("PlayPause").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Player("PlaybackStatus").toString(), "Paused");
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return Window().Mute() == 1; }));

    Call("PlayPause");
    EXPECT_EQ(Player("PlaybackStatus").toString(), "Playing");
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return Window().Mute() == 0; }));

    // Muted in the window: the player is paused.
    Window().GetDlgItemAs<QAbstractButton>(CRadioDlg::IDC_MUTE)->click();
    EXPECT_EQ(Player("PlaybackStatus").toString(), "Paused");
    Call("Play");
    EXPECT_EQ(Player("PlaybackStatus").toString(), "Playing");
}

TEST_F(MprisTest, NextAndPreviousWalkTheFilledSlotsRoundTheEnd) {
    Call("Next");
    EXPECT_EQ(Frequency(), 8250u);
    EXPECT_NE(Window().Banner().find("Bravo"), std::string::npos);
    Call("Next");
    EXPECT_EQ(Frequency(), 8520u);
    Call("Next");
    EXPECT_EQ(Frequency(), 8000u);
    Call("Previous");
    EXPECT_EQ(Frequency(), 8520u);

    // Between presets: next is the first slot, previous the last.
    m_remote.Core().TuneTo(9000);
    Call("Previous");
    EXPECT_EQ(Frequency(), 8520u);
}

TEST_F(MprisTest, AKeyInTheWindowIsAnnounced) {
    CChangeWatcher watcher(Client().Connection());
    // What the start announced is out of the way first.
    m_remote.Remote().Refresh();
    CBusClient::WaitUntil([] { return false; }, std::chrono::milliseconds(300));
    watcher.m_changes.clear();

    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(Window().GetDlgItem(CRadioDlg::IDC_VOLUME), &press);
    const auto title = [&watcher] {
        QVariantMap metadata;
        for (const SChange& change : watcher.m_changes) {
            if (change.strInterface == kPlayer && change.changed.contains("Metadata")) {
                change.changed.value("Metadata").value<QDBusArgument>() >> metadata;
            }
        }
        return metadata.value("xesam:title").toString();
    };
    // A slow bus may still bring what the start announced first.
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return title() == "FM 80.10MHz"; }))
        << title().toStdString();
    EXPECT_FALSE(watcher.Saw("PlaybackStatus"));
}

// Every way the radio is tuned reaches the player's watchers as a notice of
// the core's, and only a notice does: a change made behind the radio's back
// (the profile written directly) is not found by looking again on a clock.
TEST_F(MprisTest, ScheduledStartsAndScriptsAreAnnouncedAndNothingIsPolled) {
    CChangeWatcher watcher(Client().Connection());
    m_remote.Remote().Refresh();
    CBusClient::WaitUntil([] { return false; }, std::chrono::milliseconds(300));
    watcher.m_changes.clear();

    m_remote.Preset(4, 8810, "");
    CBusClient::WaitUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_TRUE(watcher.m_changes.empty()) << "something looked without a notice";

    const std::string strKey = "KEY_FM_2_Title";
    m_remote.m_rig.m_profile.WriteProfileString("KEYS", strKey, "Renamed");
    CBusClient::WaitUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_TRUE(watcher.m_changes.empty()) << "something looked without a notice";
    Window().MessageTarget().Post(WM_PRESETS_CHANGED, 0, 0);  // the short keys' notice
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return watcher.Saw("Metadata"); }));

    watcher.m_changes.clear();
    Client().Call(QString::fromLatin1(CControlBus::kService),
                  QString::fromLatin1(CControlBus::kPath),
                  QString::fromLatin1(CControlBus::kInterface), QStringLiteral("Tune"),
                  {QStringLiteral("88.1")});
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return watcher.Saw("Metadata"); }));

    watcher.m_changes.clear();
    CTaskSet tasks(m_remote.m_rig.m_dataSource.Driver());
    ASSERT_TRUE(tasks.Open());
    tasks.AddNew();
    tasks.m_BeginTime = m_remote.m_rig.m_clock.Now();
    tasks.m_EndTime = m_remote.m_rig.m_clock.Now() + 600;
    tasks.m_Channel = CTaskSet::ChannelText(CChannelWord::Of(CChannelWord::BAND_FM, 8250).Value());
    ASSERT_TRUE(tasks.Update());
    Window().StartScheduledTask(tasks.m_ID);
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return watcher.Saw("Metadata"); }));
    EXPECT_EQ(Frequency(), 8250u);
}

TEST_F(MprisTest, VolumeIsTheMasterVolumeBothWays) {
    CChangeWatcher watcher(Client().Connection());
    const QDBusMessage reply = Client().Call(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
        {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.5))});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_NEAR(Player("Volume").toDouble(), 0.5, 0.001);
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return watcher.Saw("Volume"); }));
    // The window's slider follows the sound card.
    auto* pSlider = Window().GetDlgItemAs<QAbstractSlider>(CRadioDlg::IDC_VOLUME);
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return pSlider->value() == 0x8000; }));
}

TEST_F(MprisTest, WithoutTheReceiverThePlayerIsStoppedAndRefusesToStep) {
    CChangeWatcher watcher(Client().Connection());
    m_remote.Unplug();
    EXPECT_EQ(Player("PlaybackStatus").toString(), "Stopped");
    EXPECT_FALSE(Player("CanPlay").toBool());
    EXPECT_FALSE(Player("CanGoNext").toBool());
    EXPECT_TRUE(CBusClient::WaitUntil([&] { return watcher.Saw("PlaybackStatus"); }));
    Call("Next");
    EXPECT_EQ(Frequency(), 8000u);
}

// Only what changed is announced: the same station is the same track.
TEST(MprisPropertiesTest, AStationTunedAgainIsTheSameTrack) {
    SRadioState state;
    state.bPresent = true;
    state.nFrequency = 8000;
    state.strChannelText = "FM 80.00MHz";
    SRadioState louder = state;
    louder.nVolume = 0x8000;
    const QVariantMap before = CMprisPlayerAdaptor::Properties(state);
    const QVariantMap after = CMprisPlayerAdaptor::Properties(louder);
    EXPECT_EQ(before.value("Metadata"), after.value("Metadata"));
    EXPECT_EQ(before.value("PlaybackStatus"), after.value("PlaybackStatus"));
    EXPECT_NE(before.value("Volume"), after.value("Volume"));

    SRadioState next = state;
    next.nFrequency = 8010;
    EXPECT_NE(before.value("Metadata"), CMprisPlayerAdaptor::Properties(next).value("Metadata"));
    next = state;
    next.bMuted = true;
    EXPECT_EQ(CMprisPlayerAdaptor::Properties(next).value("PlaybackStatus").toString(), "Paused");
    next.bPresent = false;
    EXPECT_EQ(CMprisPlayerAdaptor::Properties(next).value("PlaybackStatus").toString(), "Stopped");
    EXPECT_FALSE(CMprisPlayerAdaptor::Properties(next).value("CanPlay").toBool());
}

TEST(ControlBusTest, WithoutABusTheRadioRunsAsBefore) {
    CPrivateBus bus;
    CCoreRig rig;
    CSkinEngine skin;
    rig.Card();
    CRadioDlg window(rig.Services(), rig.m_profile, &skin);
    window.Create();
    CWindowControl control(window);
    CControlBus remote(control, bus.AbsentAddress());
    std::string strWhy;
    EXPECT_FALSE(remote.Open(strWhy));
    EXPECT_FALSE(strWhy.empty());
    window.StepChannel(true);
    EXPECT_EQ(remote.Current().nFrequency, window.Core().CurrentFrequency());
}

// What a station sends of itself shows where no preset names it.
TEST(MprisMetadataTest, TheStationsOwnNameAndTextAreShownWhereNoPresetNamesIt) {
    SRadioState state;
    state.strChannelText = "FM 88.10MHz";
    state.strStation = "KESTREL";
    state.strRadioText = "Evening jazz";
    const QVariantMap metadata = CMprisPlayerAdaptor::Metadata(state);
    EXPECT_EQ(metadata.value("xesam:title").toString(), "KESTREL");
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList{"KESTREL"});
    EXPECT_EQ(metadata.value("xesam:comment").toStringList(),
              (QStringList{"FM 88.10MHz", "Evening jazz"}));
    state.strTitle = "My station";
    EXPECT_EQ(CMprisPlayerAdaptor::Metadata(state).value("xesam:title").toString(), "My station");
}

}  // namespace

#include "MprisTest.moc"
