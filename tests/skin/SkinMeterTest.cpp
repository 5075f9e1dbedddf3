#include <QImage>
#include <QPainter>

#include <algorithm>

#include <gtest/gtest.h>

#include "skin/MeterPaintDC.h"
#include "skin/SkinEngine.h"
#include "skin/SkinMeter.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kFace = qRgb(255, 0, 0);        // TESTSKIN's "Meter" Face
const QRgb kBackGround = qRgb(0, 0, 255);  // and its BackGround

class SkinMeterTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_engine.Initialise("KestrelFM"));
        ASSERT_TRUE(m_engine.LoadSkin("SKIN", "TESTSKIN")) << m_engine.LastError();
        m_meter.resize(40, 40);
        m_meter.SetSkinName("Meter");
    }

    // The meter painted over a white ground, as it shows on its parent.
    QImage Render() {
        QImage image(m_meter.size(), QImage::Format_RGB32);
        image.fill(kWhite);
        m_meter.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // The colour of a whole column, or 0 when its pixels differ.
    static QRgb Column(const QImage& image, int x) {
        const QRgb first = image.pixel(x, 0);
        for (int y = 1; y < image.height(); ++y) {
            if (image.pixel(x, y) != first) {
                return 0;
            }
        }
        return first;
    }

    CSkinEngine m_engine;
    CSkinMeter m_meter{m_engine};
};

TEST_F(SkinMeterTest, ValueIsClampedToPercent) {
    m_meter.SetValue(-5);
    EXPECT_EQ(m_meter.GetValue(), 0);
    m_meter.SetValue(250);
    EXPECT_EQ(m_meter.GetValue(), 100);
    m_meter.SetValue(37);
    EXPECT_EQ(m_meter.GetValue(), 37);
}

TEST_F(SkinMeterTest, HorizontalFillShowsBackGroundLeftOfFaceByValue) {
    m_meter.SetVertical(0);
    m_meter.SetValue(50);
    QImage image = Render();
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(Column(image, x), kBackGround) << "column " << x;
    }
    for (int x = 20; x < 40; ++x) {
        EXPECT_EQ(Column(image, x), kFace) << "column " << x;
    }

    m_meter.SetValue(0);
    image = Render();
    EXPECT_EQ(Column(image, 0), kFace);
    m_meter.SetValue(100);
    image = Render();
    EXPECT_EQ(Column(image, 39), kBackGround);
    EXPECT_EQ(m_engine.OpenHandles(), 0) << "every paint releases its handles";
}

TEST_F(SkinMeterTest, VerticalFillGrowsFromTheBottomEdge) {
    m_meter.SetValue(25);  // vertical is the start value
    const QImage image = Render();
    for (int y = 0; y < 40; ++y) {
        EXPECT_EQ(image.pixel(0, y), y < 30 ? kFace : kBackGround) << "row " << y;
        EXPECT_EQ(image.pixel(39, y), image.pixel(0, y)) << "row " << y;
    }
}

TEST_F(SkinMeterTest, UnknownSkinNameDrawsNeitherImage) {
    m_meter.SetSkinName("NoSuchObject");
    m_meter.SetValue(60);
    const QImage image = Render();
    for (int x = 0; x < 40; ++x) {
        EXPECT_EQ(Column(image, x), kWhite) << "column " << x;
    }
}

// The embedded skin's channel indicator: two lamps under the STEREO legend.
// 50 (a mono station) must light one whole lamp and no part of the other,
// 100 (stereo) both.
class StereoLampTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_engine.Initialise("KestrelFM"));
        ASSERT_TRUE(m_engine.LoadSkin("SKIN", "KESTRELSKIN")) << m_engine.LastError();
        HSKINOBJECT hRect = m_engine.FindObject("ChannelRect");
        ASSERT_TRUE(hRect);
        SSkinRect rect;
        ASSERT_TRUE(m_engine.GetObjectRect(hRect, rect));
        m_engine.ReleaseObject(hRect);
        m_meter.resize(rect.right - rect.left, rect.bottom - rect.top);
        m_meter.SetSkinName("Speack");
        m_meter.SetVertical(0);
    }

    QImage Render(int nValue) {
        m_meter.SetValue(nValue);
        QImage image(m_meter.size(), QImage::Format_RGB32);
        image.fill(kWhite);
        m_meter.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // Inside the indicator's frame, whose anti-aliased rim may differ
    // between the two images.
    static QRect Inside(const QImage& image, int nFrom, int nTo) {
        const int nRim = 3;
        return QRect(QPoint(std::max(nFrom, nRim), nRim),
                     QPoint(std::min(nTo, image.width() - nRim) - 1, image.height() - nRim - 1));
    }

    // Whether a lit lamp (bright cyan) shows in columns [from, to).
    static bool Lit(const QImage& image, int nFrom, int nTo) {
        const QRect area = Inside(image, nFrom, nTo);
        for (int x = area.left(); x <= area.right(); ++x) {
            for (int y = area.top(); y <= area.bottom(); ++y) {
                const QRgb pixel = image.pixel(x, y);
                if (qGreen(pixel) > 160 && qRed(pixel) < 160) {
                    return true;
                }
            }
        }
        return false;
    }

    CSkinEngine m_engine;
    CSkinMeter m_meter{m_engine};
};

TEST_F(StereoLampTest, HalfLightsOneWholeLampAndFullLightsBoth) {
    const int nWidth = m_meter.width();
    const int nHalf = nWidth / 2;
    const QImage dark = Render(0);
    const QImage half = Render(50);
    const QImage full = Render(100);
    EXPECT_FALSE(Lit(dark, 0, nWidth));
    EXPECT_TRUE(Lit(half, 0, nHalf));
    EXPECT_FALSE(Lit(half, nHalf, nWidth));
    EXPECT_TRUE(Lit(full, 0, nHalf));
    EXPECT_TRUE(Lit(full, nHalf, nWidth));

    // Neither lamp reaches the split, so the half fill cuts none.
    const QRect split = Inside(dark, nHalf - 1, nHalf + 1);
    EXPECT_EQ(dark.copy(split), full.copy(split));
    EXPECT_EQ(half.copy(0, 0, nHalf, half.height()), full.copy(0, 0, nHalf, full.height()));
    EXPECT_EQ(m_engine.OpenHandles(), 0);
}

TEST(MeterPaintDCTest, BuffersTheClipBoxAndCopiesOnlyWhatTheOwnerAsks) {
    QImage target(30, 30, QImage::Format_RGB32);
    target.fill(kWhite);
    QPainter painter(&target);
    painter.setClipRect(QRect(5, 5, 20, 20));
    {
        CMeterPaintDC dc(painter, QRect());
        ASSERT_TRUE(dc.IsBuffered());
        EXPECT_EQ(dc.Rect(), QRect(5, 5, 20, 20));
        dc.Painter().fillRect(dc.Rect(), QColor(kBackGround));
        dc.CopyToTarget(QRect(5, 5, 10, 20));
    }
    painter.end();
    EXPECT_EQ(target.pixel(6, 10), kBackGround);
    EXPECT_EQ(target.pixel(20, 10), kWhite) << "the rest of the buffer stays off the target";
}

}  // namespace
