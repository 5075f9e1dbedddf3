#include "skin/DataExchange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QSlider>

#include "platform/trace/Trace.h"
#include "skin/DialogBuilder.h"

CDataExchange::CDataExchange(FindControl findControl, bool bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_findControl(std::move(findControl)) {}

template <class T>
T* CDataExchange::Control(int nId, const char* pszKind) {
    QWidget* pWidget = m_findControl ? m_findControl(nId) : nullptr;
    auto* pControl = qobject_cast<T*>(pWidget);
    if (!pControl) {
        KestrelTrace("ddx", "control %d is %s, not a %s", nId, pWidget ? "another kind" : "missing",
                     pszKind);
        m_bFailed = true;
    }
    return pControl;
}

void CDataExchange::Text(int nId, std::string& strValue) {
    auto* pControl = Control<QWidget>(nId, "control with text");
    if (!pControl) {
        return;
    }
    if (m_bSaveAndValidate) {
        strValue = CDialogBuilder::Text(pControl).toStdString();
        return;
    }
    if (!CDialogBuilder::SetText(pControl, QString::fromStdString(strValue))) {
        KestrelTrace("ddx", "control %d has no text", nId);
        m_bFailed = true;
    }
}

void CDataExchange::CBIndex(int nId, int& nIndex) {
    auto* pCombo = Control<QComboBox>(nId, "combo box");
    if (!pCombo) {
        return;
    }
    if (m_bSaveAndValidate) {
        nIndex = pCombo->currentIndex();
    } else {
        // An index outside the list clears the selection, as CB_SETCURSEL does.
        pCombo->setCurrentIndex(nIndex >= 0 && nIndex < pCombo->count() ? nIndex : -1);
    }
}

void CDataExchange::Check(int nId, int& nValue) {
    auto* pButton = Control<QAbstractButton>(nId, "check box");
    if (!pButton) {
        return;
    }
    if (m_bSaveAndValidate) {
        nValue = pButton->isChecked() ? 1 : 0;
    } else {
        pButton->setChecked(nValue != 0);
    }
}

void CDataExchange::DateTime(int nId, std::time_t& value) {
    auto* pPicker = Control<QDateTimeEdit>(nId, "date-time picker");
    if (!pPicker) {
        return;
    }
    if (m_bSaveAndValidate) {
        value = static_cast<std::time_t>(pPicker->dateTime().toSecsSinceEpoch());
    } else {
        pPicker->setDateTime(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(value)));
    }
}

void CDataExchange::Slider(int nId, int& nPosition) {
    auto* pSlider = Control<QSlider>(nId, "trackbar");
    if (!pSlider) {
        return;
    }
    if (m_bSaveAndValidate) {
        nPosition = pSlider->value();
    } else {
        pSlider->setValue(nPosition);
    }
}
