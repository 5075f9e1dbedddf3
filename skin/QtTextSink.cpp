#include "skin/QtTextSink.h"

#include <QWidget>

#include "skin/DialogBuilder.h"

CQtTextSink::CQtTextSink(QWidget* pControl) : m_pControl(pControl) {}

void CQtTextSink::SetText(const std::string& strText) {
    {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(QString::fromStdString(strText));
    }
    QMetaObject::invokeMethod(this, "Apply", Qt::QueuedConnection);
}

void CQtTextSink::Apply() {
    QString strText;
    {
        std::lock_guard lock(m_mutex);
        if (m_texts.empty()) {
            return;
        }
        strText = std::move(m_texts.front());
        m_texts.pop_front();
    }
    if (m_pControl) {
        CDialogBuilder::SetText(m_pControl, strText);
    }
}
