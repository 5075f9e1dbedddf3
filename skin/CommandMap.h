#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <utility>

class QAbstractButton;
class QWidget;

// A dialog's message map for control notifications: one handler per control
// identifier and notification. Attach() turns a built control's Qt signals
// and events into the notifications its Windows counterpart sends:
//
//   Clicked          a button was clicked (not sent when code checks it)
//   SelChange        the user picked another item of a combo box
//   DblClk           a double click anywhere in a list view
//   KillFocus        an edit lost the keyboard focus
//   ReleasedCapture  the mouse button was released over a trackbar, after the
//                    trackbar has taken the new position
//
// An attached button's accessible name is its tooltip while it has one (its
// text otherwise).
//
// Everything runs on the dialog's thread. A handler may destroy the dialog
// only by deferred deletion.
class CCommandMap : public QObject {
    Q_OBJECT

public:
    enum ENotify { Clicked, SelChange, DblClk, KillFocus, ReleasedCapture };
    using Handler = std::function<void()>;
    // Runs for a notification without a handler; returns whether it handled it.
    using Fallback = std::function<bool(int nId, ENotify notify)>;

    explicit CCommandMap(QObject* pParent = nullptr);

    // Registers (or replaces) the handler of one notification of one control.
    void On(int nId, ENotify notify, Handler handler);
    void SetFallback(Fallback fallback);
    // Runs the handler of this notification; accelerators and code use it to
    // issue a command. True when a handler or the fallback handled it.
    bool Dispatch(int nId, ENotify notify);
    // Routes the notifications of control pControl as identifier nId.
    void Attach(int nId, QWidget* pControl);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void Watch(QObject* pObject, int nId);
    static void NameAfterToolTip(QAbstractButton* pButton);

    std::map<std::pair<int, ENotify>, Handler> m_handlers;
    Fallback m_fallback;
};
