#pragma once

#include <QProxyStyle>

class CSkinEngine;
struct SSkinWindow;

// The style the engine sets on every control of a skinned window. Push
// buttons (also push-like radio and check boxes) are drawn from the skin's
// face images by state, with their glyph or text; trackbars from the groove,
// fill and handle images; the window's background from its background image.
// Everything else, and every widget outside a skinned window, is drawn by the
// Fusion style with the window's palette.
class CSkinStyle : public QProxyStyle {
    Q_OBJECT

public:
    explicit CSkinStyle(const CSkinEngine& engine);

    void drawControl(ControlElement element, const QStyleOption* pOption, QPainter* pPainter,
                     const QWidget* pWidget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* pOption,
                            QPainter* pPainter, const QWidget* pWidget) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* pOption,
                         SubControl subControl, const QWidget* pWidget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* pOption,
                    const QWidget* pWidget) const override;

protected:
    // Paints the background of skinned windows.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    const SSkinWindow* WindowOf(const QWidget* pWidget) const;

    const CSkinEngine& m_engine;
};
