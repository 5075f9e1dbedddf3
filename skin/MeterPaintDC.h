#pragma once

#include <QPixmap>
#include <QRect>

#include <memory>

class QPainter;

// The off-screen buffer a meter paints through, so that it does not flicker
// when redrawn several times a second. Drawing goes to Painter() in the
// target's coordinates; the owner then copies the part it wants to show with
// CopyToTarget(). Nothing is copied on destruction.
//
// A printer gets no buffer: Painter() is the target itself and CopyToTarget()
// does nothing, so the owner clips the target to the part it wants.
class CMeterPaintDC {
public:
    // An empty rect (all four coordinates 0) buffers the target's clip box.
    CMeterPaintDC(QPainter& target, const QRect& rect);
    ~CMeterPaintDC();
    CMeterPaintDC(const CMeterPaintDC&) = delete;
    CMeterPaintDC& operator=(const CMeterPaintDC&) = delete;

    QPainter& Painter();
    bool IsBuffered() const { return m_bBuffered; }
    const QRect& Rect() const { return m_rect; }
    // Draws the buffer's pixels of part (target coordinates) onto the target
    // at the same place.
    void CopyToTarget(const QRect& part);

private:
    QPainter& m_target;
    QRect m_rect;
    bool m_bBuffered;
    QPixmap m_buffer;
    std::unique_ptr<QPainter> m_pBufferPainter;
};
