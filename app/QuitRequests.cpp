#include "app/QuitRequests.h"

#include <QCoreApplication>
#include <QEvent>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <utility>

namespace {

std::atomic<int> g_wakeFd{-1};

// Only what is safe in a signal handler: one write to the pipe.
void OnSignal(int) {
    const int fd = g_wakeFd.load();
    if (fd >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &c, 1);
    }
}

}  // namespace

CQuitRequests::CQuitRequests(std::function<void()> onRequest) : m_onRequest(std::move(onRequest)) {
    if (QCoreApplication* pApplication = QCoreApplication::instance()) {
        pApplication->installEventFilter(this);
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // no way to be woken: the default handlers stay
    }
    m_readEnd.Reset(fds[0]);
    m_writeEnd.Reset(fds[1]);
    g_wakeFd = m_writeEnd.Get();
    m_pNotifier = std::make_unique<QSocketNotifier>(m_readEnd.Get(), QSocketNotifier::Read);
    QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this] {
        char buffer[16];
        while (::read(m_readEnd.Get(), buffer, sizeof buffer) > 0) {
        }
        m_onRequest();
    });
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t n = 0; n < std::size(kSignals); ++n) {
        ::sigaction(kSignals[n], &action, &m_old[n]);
    }
}

CQuitRequests::~CQuitRequests() {
    if (!m_readEnd.IsValid()) {
        return;
    }
    for (size_t n = 0; n < std::size(kSignals); ++n) {
        ::sigaction(kSignals[n], &m_old[n], nullptr);
    }
    g_wakeFd = -1;
    // The notifier goes before the descriptor it watches.
    m_pNotifier.reset();
}

// Left to the application, the request would end every event loop at once,
// and any loop the close sequence runs would return before it began.
bool CQuitRequests::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() != QEvent::Quit || pWatched != QCoreApplication::instance()) {
        return QObject::eventFilter(pWatched, pEvent);
    }
    m_onRequest();
    return true;
}
