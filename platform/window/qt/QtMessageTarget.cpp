#include "platform/window/qt/QtMessageTarget.h"

#include <QThread>

#include <condition_variable>

// What a sender on another thread waits for.
struct CQtMessageTarget::SCompletion {
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false;
    intptr_t result = 0;

    // Notifies under the lock: the sender owns this object and destroys it as
    // soon as it sees bDone.
    void Complete(intptr_t value) {
        std::lock_guard lock(mutex);
        result = value;
        bDone = true;
        done.notify_one();
    }
};

CQtMessageTarget::CQtMessageTarget(Handler handler, QObject* pParent)
    : QObject(pParent), m_handler(std::move(handler)) {}

CQtMessageTarget::~CQtMessageTarget() {
    Close();
}

void CQtMessageTarget::Close() {
    std::deque<SQueued> pending;
    {
        std::lock_guard lock(m_mutex);
        m_bClosed = true;
        pending.swap(m_queue);
    }
    for (const SQueued& queued : pending) {
        if (queued.pCompletion) {
            queued.pCompletion->Complete(0);
        }
    }
}

bool CQtMessageTarget::Enqueue(const SQueued& queued) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bClosed) {
            return false;
        }
        m_queue.push_back(queued);
    }
    // The wake-up carries nothing: the message itself crosses under the lock.
    QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    return true;
}

void CQtMessageTarget::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Enqueue({message, wParam, lParam, nullptr});
}

intptr_t CQtMessageTarget::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (QThread::currentThread() == thread()) {
        return m_handler ? m_handler(message, wParam, lParam) : 0;
    }
    SCompletion completion;
    if (!Enqueue({message, wParam, lParam, &completion})) {
        return 0;
    }
    std::unique_lock lock(completion.mutex);
    completion.done.wait(lock, [&] { return completion.bDone; });
    return completion.result;
}

void CQtMessageTarget::Deliver() {
    SQueued queued;
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty()) {
            return;
        }
        queued = m_queue.front();
        m_queue.pop_front();
    }
    const intptr_t result = m_handler ? m_handler(queued.message, queued.wParam, queued.lParam) : 0;
    if (queued.pCompletion) {
        queued.pCompletion->Complete(result);
    }
}
