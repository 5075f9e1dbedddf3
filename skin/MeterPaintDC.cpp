#include "skin/MeterPaintDC.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

bool IsPrinter(const QPainter& painter) {
    return painter.device() && painter.device()->devType() == QInternal::Printer;
}

QRect ClipBox(const QPainter& painter) {
    if (painter.hasClipping()) {
        return painter.clipBoundingRect().toAlignedRect();
    }
    const QPaintDevice* pDevice = painter.device();
    return pDevice ? QRect(0, 0, pDevice->width(), pDevice->height()) : QRect();
}

}  // namespace

CMeterPaintDC::CMeterPaintDC(QPainter& target, const QRect& rect)
    : m_target(target), m_bBuffered(!IsPrinter(target)) {
    if (!m_bBuffered) {
        m_rect = rect;
        return;
    }
    // QRect() and QRect(0, 0, 0, 0) are the same: all four coordinates 0.
    m_rect = rect == QRect() ? ClipBox(target) : rect;
    const qreal ratio =
        target.device() ? std::max<qreal>(1.0, target.device()->devicePixelRatioF()) : 1.0;
    m_buffer = QPixmap(static_cast<int>(std::lround(std::max(1, m_rect.width()) * ratio)),
                       static_cast<int>(std::lround(std::max(1, m_rect.height()) * ratio)));
    m_buffer.setDevicePixelRatio(ratio);
    m_buffer.fill(Qt::transparent);
    m_pBufferPainter = std::make_unique<QPainter>(&m_buffer);
    // Callers draw in the target's coordinates.
    m_pBufferPainter->translate(-m_rect.topLeft());
}

CMeterPaintDC::~CMeterPaintDC() = default;

QPainter& CMeterPaintDC::Painter() {
    return m_bBuffered ? *m_pBufferPainter : m_target;
}

void CMeterPaintDC::CopyToTarget(const QRect& part) {
    const QRect copied = part.intersected(m_rect);
    if (!m_bBuffered || copied.isEmpty()) {
        return;
    }
    // Finish the buffer's drawing before reading its pixels.
    m_pBufferPainter->end();
    const qreal ratio = m_buffer.devicePixelRatio();
    const QRectF source(QPointF(copied.topLeft() - m_rect.topLeft()) * ratio,
                        QSizeF(copied.size()) * ratio);
    m_target.drawPixmap(QRectF(copied), m_buffer, source);
    m_pBufferPainter->begin(&m_buffer);
    m_pBufferPainter->translate(-m_rect.topLeft());
}
