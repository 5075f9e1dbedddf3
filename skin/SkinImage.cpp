#include "skin/SkinImage.h"

#include <QFile>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace {

// Enough for every size a control is drawn at; a window resized again and
// again must not grow the cache without end.
constexpr size_t kMaxCachedSizes = 24;

qreal DevicePixelRatio(const QPainter& painter) {
    const QPaintDevice* pDevice = painter.device();
    return pDevice ? std::max<qreal>(1.0, pDevice->devicePixelRatioF()) : 1.0;
}

}  // namespace

CSkinImage::~CSkinImage() = default;

std::unique_ptr<CSkinImage> CSkinImage::Load(const QString& strPath, std::string& strError) {
    std::unique_ptr<CSkinImage> pImage(new CSkinImage);
    if (strPath.endsWith(".svg", Qt::CaseInsensitive)) {
        QFile file(strPath);
        if (!file.open(QIODevice::ReadOnly)) {
            strError = strPath.toStdString() + ": missing";
            return nullptr;
        }
        pImage->m_pSvg = std::make_unique<QSvgRenderer>(file.readAll());
        if (!pImage->m_pSvg->isValid()) {
            strError = strPath.toStdString() + ": not a valid SVG image";
            return nullptr;
        }
        pImage->m_naturalSize = pImage->m_pSvg->defaultSize();
    } else {
        QImageReader reader(strPath);
        pImage->m_bitmap = reader.read();
        if (pImage->m_bitmap.isNull()) {
            strError = strPath.toStdString() + ": " + reader.errorString().toStdString();
            return nullptr;
        }
        pImage->m_naturalSize = pImage->m_bitmap.size();
    }
    if (pImage->m_naturalSize.isEmpty()) {
        strError = strPath.toStdString() + ": the image has no size";
        return nullptr;
    }
    return pImage;
}

const QPixmap& CSkinImage::Rendered(const QSize& pixels) const {
    const auto key = std::make_tuple(pixels.width(), pixels.height());
    auto it = m_cache.find(key);
    if (it != m_cache.end()) {
        return it->second;
    }
    if (m_cache.size() >= kMaxCachedSizes) {
        m_cache.clear();
    }
    QPixmap pixmap;
    if (m_pSvg) {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        m_pSvg->render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        painter.end();
        pixmap = QPixmap::fromImage(image);
    } else {
        pixmap = QPixmap::fromImage(
            m_bitmap.size() == pixels
                ? m_bitmap
                : m_bitmap.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return m_cache.emplace(key, std::move(pixmap)).first->second;
}

void CSkinImage::Draw(QPainter& painter, const QRectF& target, const QMargins& margins) const {
    if (target.isEmpty()) {
        return;
    }
    const qreal ratio = DevicePixelRatio(painter);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (margins.isNull()) {
        const QPixmap& pixmap = Rendered(
            QSize(std::lround(target.width() * ratio), std::lround(target.height() * ratio)));
        painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
        painter.restore();
        return;
    }

    // Nine-slice: the source corners are the margins at the natural size; on
    // a target smaller than two margins they shrink evenly.
    const QPixmap& pixmap = Rendered(QSize(std::lround(m_naturalSize.width() * ratio),
                                           std::lround(m_naturalSize.height() * ratio)));
    const qreal fitX =
        std::min<qreal>(1.0, target.width() / std::max(1, margins.left() + margins.right()));
    const qreal fitY =
        std::min<qreal>(1.0, target.height() / std::max(1, margins.top() + margins.bottom()));
    const qreal sourceX[4] = {0, margins.left() * ratio, pixmap.width() - margins.right() * ratio,
                              qreal(pixmap.width())};
    const qreal sourceY[4] = {0, margins.top() * ratio, pixmap.height() - margins.bottom() * ratio,
                              qreal(pixmap.height())};
    const qreal targetX[4] = {target.left(), target.left() + margins.left() * fitX,
                              target.right() - margins.right() * fitX, target.right()};
    const qreal targetY[4] = {target.top(), target.top() + margins.top() * fitY,
                              target.bottom() - margins.bottom() * fitY, target.bottom()};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF to(QPointF(targetX[column], targetY[row]),
                            QPointF(targetX[column + 1], targetY[row + 1]));
            const QRectF from(QPointF(sourceX[column], sourceY[row]),
                              QPointF(sourceX[column + 1], sourceY[row + 1]));
            if (!to.isEmpty() && !from.isEmpty()) {
                painter.drawPixmap(to, pixmap, from);
            }
        }
    }
    painter.restore();
}
