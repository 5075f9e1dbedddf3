#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

#include "platform/window/MessageTarget.h"

// A window's message target on Qt's event loop. The object lives on the
// thread that creates it (the window's thread) and hands every message to one
// handler there:
// - Post() from any thread queues the message and returns at once.
// - Send() from the window's thread calls the handler directly; from any other
//   thread it queues the message and blocks until the window's thread has run
//   the handler, then returns its result. A sender still waiting when the
//   target is destroyed is released with 0.
// Queued messages reach the handler in the order they were issued. The queue
// is guarded by the target's own lock; the window's thread is only woken
// through its event loop.
class CQtMessageTarget : public QObject, public CMessageTarget {
    Q_OBJECT

public:
    using Handler = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

    explicit CQtMessageTarget(Handler handler, QObject* pParent = nullptr);
    ~CQtMessageTarget() override;

    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Ends delivery for good: senders still waiting are released with 0,
    // later posts are dropped and later sends from other threads return 0 at
    // once. A window calls it as it closes, so that no worker stays blocked
    // on it while the window waits for that worker.
    void Close();

private Q_SLOTS:
    // Runs the oldest queued message (one per wake-up).
    void Deliver();

private:
    struct SCompletion;
    struct SQueued {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        SCompletion* pCompletion;  // a waiting sender, or null for a post
    };

    // False once closed (nothing was queued).
    bool Enqueue(const SQueued& queued);

    const Handler m_handler;
    std::mutex m_mutex;
    std::deque<SQueued> m_queue;
    bool m_bClosed = false;  // guarded by m_mutex
};
