#include "skin/CommandMap.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>

namespace {

// Identifier of the control an event-filtered object belongs to.
constexpr const char* kCommandIdProperty = "kestrelCommandId";

}  // namespace

CCommandMap::CCommandMap(QObject* pParent) : QObject(pParent) {}

void CCommandMap::On(int nId, ENotify notify, Handler handler) {
    m_handlers[{nId, notify}] = std::move(handler);
}

void CCommandMap::SetFallback(Fallback fallback) {
    m_fallback = std::move(fallback);
}

bool CCommandMap::Dispatch(int nId, ENotify notify) {
    auto it = m_handlers.find({nId, notify});
    if (it != m_handlers.end()) {
        // A copy: the handler may register handlers again.
        Handler handler = it->second;
        handler();
        return true;
    }
    return m_fallback ? m_fallback(nId, notify) : false;
}

void CCommandMap::Attach(int nId, QWidget* pControl) {
    if (auto* pButton = qobject_cast<QAbstractButton*>(pControl)) {
        connect(pButton, &QAbstractButton::clicked, this, [this, nId] { Dispatch(nId, Clicked); });
        // Many buttons show only a picture: what they do is in their tooltip.
        NameAfterToolTip(pButton);
        pButton->installEventFilter(this);
        return;
    }
    if (auto* pCombo = qobject_cast<QComboBox*>(pControl)) {
        connect(pCombo, &QComboBox::activated, this, [this, nId] { Dispatch(nId, SelChange); });
        return;
    }
    if (auto* pView = qobject_cast<QAbstractItemView*>(pControl)) {
        // The viewport gets the clicks, also those beside the rows.
        Watch(pView->viewport(), nId);
        return;
    }
    if (qobject_cast<QLineEdit*>(pControl) || qobject_cast<QSlider*>(pControl)) {
        Watch(pControl, nId);
    }
}

void CCommandMap::Watch(QObject* pObject, int nId) {
    pObject->setProperty(kCommandIdProperty, nId);
    pObject->installEventFilter(this);
}

// Screen readers say the accessible name; without one Qt takes a button's
// text, and a picture button has none. The tooltip (the language file's text)
// names it, and follows it when the language changes.
void CCommandMap::NameAfterToolTip(QAbstractButton* pButton) {
    pButton->setAccessibleName(pButton->toolTip());
}

bool CCommandMap::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::ToolTipChange) {
        if (auto* pButton = qobject_cast<QAbstractButton*>(pWatched)) {
            NameAfterToolTip(pButton);
        }
        return false;
    }
    bool bHasId = false;
    const int nId = pWatched->property(kCommandIdProperty).toInt(&bHasId);
    if (!bHasId) {
        return false;
    }
    switch (pEvent->type()) {
        case QEvent::MouseButtonDblClick:
            if (qobject_cast<QAbstractItemView*>(pWatched->parent())) {
                Dispatch(nId, DblClk);
            }
            break;
        case QEvent::FocusOut:
            if (qobject_cast<QLineEdit*>(pWatched)) {
                Dispatch(nId, KillFocus);
            }
            break;
        case QEvent::MouseButtonRelease:
            if (qobject_cast<QSlider*>(pWatched) &&
                static_cast<QMouseEvent*>(pEvent)->button() == Qt::LeftButton) {
                // Queued, so that the slider has handled the release first.
                QMetaObject::invokeMethod(
                    this, [this, nId] { Dispatch(nId, ReleasedCapture); }, Qt::QueuedConnection);
            }
            break;
        default:
            break;
    }
    return false;
}
