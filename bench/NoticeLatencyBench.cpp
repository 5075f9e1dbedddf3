// How soon the desktop hears of a change: from a key press in the main
// window, a scheduled start and a script's tune to the MPRIS player's
// PropertiesChanged on a private bus, as a media applet receives it. The
// figure is the median and the worst of all, in milliseconds (target: under
// 50).
//
//   notice_latency_bench [rounds (20)]
#include <QApplication>
#include <QDBusConnection>
#include <QKeyEvent>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "presets/ChannelWord.h"
#include "schedule/TaskSet.h"
#include "tests/control/RemoteRig.h"

namespace {

using Clock = std::chrono::steady_clock;

// The desktop's side, on a thread of its own as a media applet in another
// process would be: it hears the signal while the radio's thread is still
// busy with what follows the change (a scheduled start's recording).
class CAnnouncements : public QObject {
    Q_OBJECT

public:
    explicit CAnnouncements(QDBusConnection& connection) {
        connection.connect(QString(), QStringLiteral("/org/mpris/MediaPlayer2"),
                           QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this, SLOT(OnChanged()));
    }
    int Seen() const {
        std::lock_guard lock(m_mutex);
        return m_nSeen;
    }
    Clock::time_point Last() const {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

public Q_SLOTS:
    void OnChanged() {
        std::lock_guard lock(m_mutex);
        ++m_nSeen;
        m_last = Clock::now();
    }

private:
    mutable std::mutex m_mutex;
    int m_nSeen = 0;
    Clock::time_point m_last;
};

// Milliseconds from the change to its announcement; -1 when none came.
template <typename Change>
double Latency(CAnnouncements& seen, Change change) {
    CBusClient::WaitUntil([] { return false; }, std::chrono::milliseconds(20));
    const int nBefore = seen.Seen();
    const auto start = Clock::now();
    change();
    if (!CBusClient::WaitUntil([&] { return seen.Seen() > nBefore; })) {
        return -1.0;
    }
    return std::chrono::duration<double, std::milli>(seen.Last() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int nRounds = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 20;
    CRemoteRig remote;
    std::string strWhy;
    if (!remote.Open(strWhy)) {
        std::fprintf(stderr, "no remote control: %s\n", strWhy.c_str());
        return 1;
    }
    QThread desktop;
    desktop.start();
    QDBusConnection watch = QDBusConnection::connectToBus(
        QString::fromStdString(remote.m_bus.Address()), QStringLiteral("kestrel-bench-watch"));
    auto* pSeen = new CAnnouncements(watch);
    pSeen->moveToThread(&desktop);
    CAnnouncements& seen = *pSeen;
    CRadioDlg& window = remote.Window();
    CTaskSet tasks(remote.m_rig.m_dataSource.Driver());
    tasks.Open();
    std::vector<double> latencies;
    for (int n = 0; n < nRounds; ++n) {
        const double dKeyNow = Latency(seen, [&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QApplication::sendEvent(window.GetDlgItem(CRadioDlg::IDC_VOLUME), &press);
        });
        // The task is stored, and the last one's recording ended, beforehand.
        tasks.AddNew();
        tasks.m_BeginTime = remote.m_rig.m_clock.Now();
        tasks.m_EndTime = remote.m_rig.m_clock.Now() + 600;
        const unsigned nFrequency = 8000 + 10 * static_cast<unsigned>(n % 50);
        tasks.m_Channel =
            CTaskSet::ChannelText(CChannelWord::Of(CChannelWord::BAND_FM, nFrequency).Value());
        tasks.Update();
        window.Recorder().Stop();
        const double dTaskNow = Latency(seen, [&] { window.StartScheduledTask(tasks.m_ID); });
        const double dScriptNow = Latency(seen, [&] {
            remote.Client().Call(QString::fromLatin1(CControlBus::kService),
                                 QString::fromLatin1(CControlBus::kPath),
                                 QString::fromLatin1(CControlBus::kInterface),
                                 QStringLiteral("Tune"), {QString::number(85.0 + n * 0.1, 'f', 1)});
        });
        if (dKeyNow < 0 || dTaskNow < 0 || dScriptNow < 0) {
            std::fprintf(stderr, "round %d: a change was not announced\n", n + 1);
            return 1;
        }
        std::printf("round %d: key press %.1f ms, scheduled start %.1f ms, script's tune %.1f ms\n",
                    n + 1, dKeyNow, dTaskNow, dScriptNow);
        latencies.insert(latencies.end(), {dKeyNow, dTaskNow, dScriptNow});
    }
    window.Recorder().Stop();
    QMetaObject::invokeMethod(
        pSeen, [pSeen] { delete pSeen; }, Qt::BlockingQueuedConnection);
    desktop.quit();
    desktop.wait();
    std::sort(latencies.begin(), latencies.end());
    std::printf("PropertiesChanged after a change, median %.1f ms, worst of %zu: %.1f ms\n",
                latencies[latencies.size() / 2], latencies.size(), latencies.back());
}

#include "NoticeLatencyBench.moc"
