#pragma once

#include <QObject>

#include <functional>
#include <map>

// A window's timers, keyed by the window's own timer identifiers. Setting an
// identifier that runs already re-arms it with the new period (the next tick
// comes one full period later). Every tick calls the handler with the
// identifier on the window's thread. Periods below 10 ms are raised to 10 ms,
// the least a window timer waits.
class CWindowTimers : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(int nId)>;
    static constexpr int kMinimumPeriodMs = 10;

    explicit CWindowTimers(Handler handler, QObject* pParent = nullptr);

    void Set(int nId, int nPeriodMs);
    // False when the identifier was not running.
    bool Kill(int nId);
    bool IsSet(int nId) const { return m_timers.count(nId) != 0; }

protected:
    void timerEvent(QTimerEvent* pEvent) override;

private:
    const Handler m_handler;
    std::map<int, int> m_timers;  // window's identifier -> Qt's timer id
};
