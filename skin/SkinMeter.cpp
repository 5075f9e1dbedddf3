#include "skin/SkinMeter.h"

#include <QPainter>

#include "skin/MeterPaintDC.h"
#include "skin/SkinEngine.h"

CSkinMeter::CSkinMeter(CSkinEngine& engine, QWidget* pParent)
    : QWidget(pParent), m_engine(engine) {}

void CSkinMeter::SetValue(int nValue) {
    m_nValue = nValue < 0 ? 0 : (nValue >= 100 ? 100 : nValue);
    update();
}

void CSkinMeter::SetSkinName(const std::string& strSkinName) {
    m_strSkinName = strSkinName;
    update();
}

void CSkinMeter::SetVertical(int bVertical) {
    m_bVertical = bVertical;
    update();
}

QRect CSkinMeter::FilledPart() const {
    const QRect client = rect();
    // Whole pixels, rounded down, so that 50 of 40 pixels is exactly 20.
    if (m_bVertical) {
        const int nRows = client.height() * m_nValue / 100;
        return QRect(0, client.height() - nRows, client.width(), nRows);
    }
    return QRect(0, 0, client.width() * m_nValue / 100, client.height());
}

void CSkinMeter::EraseBackground(QPainter& painter) {
    // The default erase is the parent showing through; the face goes over it.
    HSKINOBJECT hObject = m_engine.FindObject(m_strSkinName);
    if (!hObject) {
        return;
    }
    m_engine.DrawImage(hObject, "Face", painter, rect());
    m_engine.ReleaseObject(hObject);
}

void CSkinMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    EraseBackground(painter);

    const QRect client = rect();
    CMeterPaintDC dc(painter, client);
    HSKINOBJECT hObject = m_engine.FindObject(m_strSkinName);
    if (!hObject) {
        return;
    }
    const QRect filled = FilledPart();
    if (!dc.IsBuffered()) {
        // Straight onto a printer: only the filled part may take the image.
        dc.Painter().setClipRect(filled);
    }
    m_engine.DrawImage(hObject, "BackGround", dc.Painter(), client);
    dc.CopyToTarget(filled);
    m_engine.ReleaseObject(hObject);
}
