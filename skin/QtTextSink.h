#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <mutex>

#include "platform/window/TextSink.h"

class QWidget;

// The text of one control, set from any thread: texts are queued under the
// sink's lock and applied on the thread that created the sink (the control's),
// in call order; no caller waits. Create the sink on the control's thread; it
// must outlive every thread that writes to it. Texts that arrive after the
// control is gone are dropped.
class CQtTextSink : public QObject, public CTextSink {
    Q_OBJECT

public:
    explicit CQtTextSink(QWidget* pControl);

    void SetText(const std::string& strText) override;

private Q_SLOTS:
    void Apply();

private:
    QPointer<QWidget> m_pControl;  // read on the control's thread only
    std::mutex m_mutex;
    std::deque<QString> m_texts;
};
