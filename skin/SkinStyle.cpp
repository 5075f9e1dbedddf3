#include "skin/SkinStyle.h"

#include <QEvent>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>

#include "skin/DialogBuilder.h"
#include "skin/Skin.h"
#include "skin/SkinEngine.h"
#include "skin/SkinImage.h"

namespace {

constexpr qreal kDisabledOpacity = 0.35;

int ControlId(const QWidget* pWidget) {
    bool bHasId = false;
    const int nId = pWidget ? pWidget->property(CDialogBuilder::kIdProperty).toInt(&bHasId) : 0;
    return bHasId ? nId : 0;
}

const CSkinImage* FaceImage(const SSkinFace& face, QStyle::State state) {
    if (!(state & QStyle::State_Enabled)) {
        return face.pDisabled ? face.pDisabled : face.pNormal;
    }
    if ((state & QStyle::State_Sunken) && face.pPressed) {
        return face.pPressed;
    }
    if ((state & QStyle::State_On) && face.pOn) {
        return face.pOn;
    }
    if ((state & QStyle::State_MouseOver) && face.pHover) {
        return face.pHover;
    }
    return face.pNormal;
}

// The glyph's own size, scaled down (never up) to fit into the area.
QRectF GlyphRect(const CSkinImage& glyph, const QRectF& area) {
    QSizeF size = glyph.NaturalSize();
    const qreal scale = std::min({1.0, area.width() / size.width(), area.height() / size.height()});
    size *= scale;
    QRectF rect(QPointF(0, 0), size);
    rect.moveCenter(area.center());
    return rect;
}

}  // namespace

CSkinStyle::CSkinStyle(const CSkinEngine& engine)
    : QProxyStyle(QStyleFactory::create("Fusion")), m_engine(engine) {}

const SSkinWindow* CSkinStyle::WindowOf(const QWidget* pWidget) const {
    const CSkin* pSkin = m_engine.Skin();
    if (!pWidget || !pSkin) {
        return nullptr;
    }
    const QString strName = pWidget->window()->property(CSkinEngine::kSkinProperty).toString();
    return strName.isEmpty() ? nullptr : pSkin->Window(strName.toStdString());
}

void CSkinStyle::drawControl(ControlElement element, const QStyleOption* pOption,
                             QPainter* pPainter, const QWidget* pWidget) const {
    const auto* pButton = qstyleoption_cast<const QStyleOptionButton*>(pOption);
    const SSkinWindow* pWindow = WindowOf(pWidget);
    if (element != CE_PushButton || !pButton || !pWindow) {
        QProxyStyle::drawControl(element, pOption, pPainter, pWidget);
        return;
    }
    const SSkinLook look = pWindow->Look(ControlId(pWidget));
    const SSkinFace* pFace = m_engine.Skin()->Face(look.strFace);
    if (!pFace) {
        QProxyStyle::drawControl(element, pOption, pPainter, pWidget);
        return;
    }

    const QStyle::State state = pButton->state;
    const bool bEnabled = state & State_Enabled;
    const bool bOn = state & State_On;
    pPainter->save();
    FaceImage(*pFace, state)->Draw(*pPainter, pButton->rect, pFace->margins);

    // The contents sink by a pixel while the button is held down.
    QRectF content = QRectF(pButton->rect).adjusted(4, 3, -4, -3);
    if (state & State_Sunken) {
        content.translate(0, 1);
    }
    if (!bEnabled) {
        pPainter->setOpacity(kDisabledOpacity);
    }
    const CSkinImage* pGlyph = bOn && look.pGlyphOn ? look.pGlyphOn : look.pGlyph;
    const QString strText = pButton->text.trimmed();
    if (pGlyph) {
        QRectF glyphArea = content;
        if (!strText.isEmpty()) {
            glyphArea.setWidth(std::min(content.width(), content.height()));
            content.setLeft(glyphArea.right() + 2);
        }
        pGlyph->Draw(*pPainter, GlyphRect(*pGlyph, glyphArea));
    }
    if (!strText.isEmpty()) {
        QColor color = look.color.value_or(pButton->palette.color(QPalette::ButtonText));
        if (bOn && look.colorOn) {
            color = *look.colorOn;
        }
        pPainter->setPen(color);
        pPainter->setFont(
            look.font.value_or(pFace->font.value_or(pWidget ? pWidget->font() : pPainter->font())));
        const int nMnemonic = styleHint(SH_UnderlineShortcut, pButton, pWidget)
                                  ? Qt::TextShowMnemonic
                                  : Qt::TextHideMnemonic;
        pPainter->drawText(content, Qt::AlignCenter | nMnemonic, strText);
    }
    pPainter->setOpacity(1.0);
    if ((state & State_HasFocus) && (state & State_KeyboardFocusChange)) {
        pPainter->setRenderHint(QPainter::Antialiasing);
        pPainter->setPen(QPen(pButton->palette.color(QPalette::Highlight), 1.2));
        pPainter->setBrush(Qt::NoBrush);
        pPainter->drawRoundedRect(QRectF(pButton->rect).adjusted(2.5, 2.5, -2.5, -2.5), 3, 3);
    }
    pPainter->restore();
}

void CSkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* pOption,
                                    QPainter* pPainter, const QWidget* pWidget) const {
    const auto* pSlider = qstyleoption_cast<const QStyleOptionSlider*>(pOption);
    const SSkinWindow* pWindow = WindowOf(pWidget);
    const SSkinSlider* pSkin =
        pWindow && pSlider && control == CC_Slider
            ? m_engine.Skin()->Slider(pWindow->Look(ControlId(pWidget)).strSlider)
            : nullptr;
    if (!pSkin) {
        QProxyStyle::drawComplexControl(control, pOption, pPainter, pWidget);
        return;
    }

    const bool bHorizontal = pSlider->orientation == Qt::Horizontal;
    const QRect handle = subControlRect(CC_Slider, pSlider, SC_SliderHandle, pWidget);
    const QRectF area = pSlider->rect;
    const qreal thickness = pSkin->nGrooveThickness;
    QRectF groove = bHorizontal ? QRectF(area.left() + 2, area.center().y() - thickness / 2,
                                         area.width() - 4, thickness)
                                : QRectF(area.center().x() - thickness / 2, area.top() + 2,
                                         thickness, area.height() - 4);
    pPainter->save();
    if (!(pSlider->state & State_Enabled)) {
        pPainter->setOpacity(0.5);
    }
    pSkin->pGroove->Draw(*pPainter, groove, pSkin->grooveMargins);
    if (pSkin->pFill) {
        // The filled part runs from the minimum end to the handle's centre.
        QRectF fill = groove;
        const QPointF centre = QRectF(handle).center();
        const bool bFromStart = bHorizontal ? !pSlider->upsideDown : pSlider->upsideDown;
        if (bHorizontal) {
            bFromStart ? fill.setRight(centre.x()) : fill.setLeft(centre.x());
        } else {
            bFromStart ? fill.setBottom(centre.y()) : fill.setTop(centre.y());
        }
        pSkin->pFill->Draw(*pPainter, fill, pSkin->grooveMargins);
    }
    pSkin->pHandle->Draw(*pPainter, handle);
    pPainter->restore();
}

QRect CSkinStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* pOption,
                                 SubControl subControl, const QWidget* pWidget) const {
    const auto* pSlider = qstyleoption_cast<const QStyleOptionSlider*>(pOption);
    const SSkinWindow* pWindow = WindowOf(pWidget);
    const SSkinSlider* pSkin =
        pWindow && pSlider && control == CC_Slider
            ? m_engine.Skin()->Slider(pWindow->Look(ControlId(pWidget)).strSlider)
            : nullptr;
    if (!pSkin || (subControl != SC_SliderHandle && subControl != SC_SliderGroove)) {
        return QProxyStyle::subControlRect(control, pOption, subControl, pWidget);
    }
    const QRect area = pSlider->rect;
    // The groove is the whole control, so that QSlider maps mouse positions
    // onto the same span the handle is drawn in.
    if (subControl == SC_SliderGroove) {
        return area;
    }
    const bool bHorizontal = pSlider->orientation == Qt::Horizontal;
    const int nLength = bHorizontal ? pSkin->handleSize.width() : pSkin->handleSize.height();
    const int nThickness = bHorizontal ? pSkin->handleSize.height() : pSkin->handleSize.width();
    const int nSpan = std::max(0, (bHorizontal ? area.width() : area.height()) - nLength);
    const int nPosition = sliderPositionFromValue(
        pSlider->minimum, pSlider->maximum, pSlider->sliderPosition, nSpan, pSlider->upsideDown);
    if (bHorizontal) {
        return QRect(area.left() + nPosition, area.center().y() - nThickness / 2 + 1, nLength,
                     nThickness);
    }
    return QRect(area.center().x() - nThickness / 2 + 1, area.top() + nPosition, nThickness,
                 nLength);
}

int CSkinStyle::pixelMetric(PixelMetric metric, const QStyleOption* pOption,
                            const QWidget* pWidget) const {
    if (metric == PM_SliderLength || metric == PM_SliderThickness ||
        metric == PM_SliderControlThickness) {
        const SSkinWindow* pWindow = WindowOf(pWidget);
        const SSkinSlider* pSkin =
            pWindow ? m_engine.Skin()->Slider(pWindow->Look(ControlId(pWidget)).strSlider)
                    : nullptr;
        const auto* pSlider = qstyleoption_cast<const QStyleOptionSlider*>(pOption);
        if (pSkin) {
            const bool bHorizontal = !pSlider || pSlider->orientation == Qt::Horizontal;
            const QSize handle = bHorizontal ? pSkin->handleSize : pSkin->handleSize.transposed();
            return metric == PM_SliderLength ? handle.width() : handle.height();
        }
    }
    return QProxyStyle::pixelMetric(metric, pOption, pWidget);
}

bool CSkinStyle::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() != QEvent::Paint || !pWatched->isWidgetType()) {
        return QProxyStyle::eventFilter(pWatched, pEvent);
    }
    auto* pWidget = static_cast<QWidget*>(pWatched);
    const SSkinWindow* pWindow = pWidget->isWindow() ? WindowOf(pWidget) : nullptr;
    if (pWindow && pWindow->pBackground) {
        QPainter painter(pWidget);
        pWindow->pBackground->Draw(painter, pWidget->rect(), pWindow->margins);
    }
    // The window's own painting follows.
    return false;
}
