#pragma once

#include <QImage>
#include <QMargins>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QString>

#include <map>
#include <memory>
#include <string>
#include <tuple>

class QPainter;
class QSvgRenderer;

// One image of the skin, SVG or PNG. It is drawn scaled over a rectangle; with
// margins, the corners keep their size and only edges and middle stretch
// (nine-slice), which is how frames and button faces fit any control.
// Renderings are cached per size. UI thread only.
class CSkinImage {
public:
    // Loads a file (a resource path); null with the reason on failure.
    static std::unique_ptr<CSkinImage> Load(const QString& strPath, std::string& strError);

    ~CSkinImage();
    CSkinImage(const CSkinImage&) = delete;
    CSkinImage& operator=(const CSkinImage&) = delete;

    // Size in pixels the image was drawn for (the SVG's own width and height).
    QSize NaturalSize() const { return m_naturalSize; }
    void Draw(QPainter& painter, const QRectF& target, const QMargins& margins = {}) const;

private:
    CSkinImage() = default;
    // The image rendered at exactly this many device pixels.
    const QPixmap& Rendered(const QSize& pixels) const;

    std::unique_ptr<QSvgRenderer> m_pSvg;
    QImage m_bitmap;
    QSize m_naturalSize;
    mutable std::map<std::tuple<int, int>, QPixmap> m_cache;
};
