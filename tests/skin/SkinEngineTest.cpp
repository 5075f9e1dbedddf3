#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include "skin/Dialog.h"
#include "skin/DialogBuilder.h"
#include "skin/DialogTemplate.h"
#include "skin/Skin.h"
#include "skin/SkinEngine.h"

namespace {

class SkinEngineTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_engine.Initialise("KestrelFM")); }

    CSkinEngine m_engine;
};

TEST_F(SkinEngineTest, EmbeddedSkinHasEveryWindowAndTheIndicatorObjects) {
    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "KESTRELSKIN")) << m_engine.LastError();
    for (const char* pszWindow :
         {"MainWin", "ShortKeyWin", "PlayWin", "NewTaskWin", "TaskListWin", "OptionWin"}) {
        EXPECT_NE(m_engine.Skin()->Window(pszWindow), nullptr) << pszWindow;
    }
    for (const char* pszImages : {"Singer", "Speack", "RecoMovie"}) {
        HSKINOBJECT hObject = m_engine.FindObject(pszImages);
        ASSERT_NE(hObject, nullptr) << pszImages;
        EXPECT_NE(hObject->Image("Face"), nullptr) << pszImages;
        EXPECT_NE(hObject->Image("BackGround"), nullptr) << pszImages;
        m_engine.ReleaseObject(hObject);
    }

    // The indicator rectangles stand where template 102 puts the indicators.
    CDialogTemplate mainTemplate;
    std::string strError;
    ASSERT_TRUE(CDialogTemplate::Load(102, mainTemplate, strError)) << strError;
    const std::pair<const char*, int> placements[] = {
        {"AntRect", 1033}, {"ChannelRect", 1032}, {"RecoRect", 1028}};
    for (const auto& [pszRect, nControl] : placements) {
        HSKINOBJECT hObject = m_engine.FindObject(pszRect);
        SSkinRect rect;
        ASSERT_TRUE(m_engine.GetObjectRect(hObject, rect)) << pszRect;
        const QRect pixels = CDialogBuilder::ToPixels(mainTemplate.Find(nControl)->rect);
        EXPECT_EQ(rect, (SSkinRect{pixels.left(), pixels.top(), pixels.left() + pixels.width(),
                                   pixels.top() + pixels.height()}))
            << pszRect;
        m_engine.ReleaseObject(hObject);
    }
    EXPECT_EQ(m_engine.OpenHandles(), 0);
}

TEST_F(SkinEngineTest, FailedLoadSaysWhyAndKeepsTheSkinInUse) {
    CSkinEngine fresh;
    EXPECT_FALSE(fresh.LoadSkin("SKIN", "TESTSKIN")) << "Initialise comes first";

    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "TESTSKIN"));
    const CSkin* pSkin = m_engine.Skin();

    EXPECT_FALSE(m_engine.LoadSkin("SKIN", "NOSUCHSKIN"));
    EXPECT_NE(m_engine.LastError().find("NOSUCHSKIN"), std::string::npos) << m_engine.LastError();
    EXPECT_FALSE(m_engine.LoadSkin("SKIN", "MISSINGIMAGE"));
    EXPECT_NE(m_engine.LastError().find("nowhere.svg"), std::string::npos) << m_engine.LastError();
    EXPECT_FALSE(m_engine.LoadSkin("SKIN", "BADJSON"));
    EXPECT_NE(m_engine.LastError().find("offset"), std::string::npos) << m_engine.LastError();

    EXPECT_EQ(m_engine.Skin(), pSkin);
    EXPECT_NE(m_engine.Skin()->Object("Meter"), nullptr);
}

TEST_F(SkinEngineTest, HandlesAreCountedAndOutliveAReload) {
    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "TESTSKIN"));
    EXPECT_EQ(m_engine.FindObject("Nothing"), nullptr);
    EXPECT_EQ(m_engine.OpenHandles(), 0);

    HSKINOBJECT hMeter = m_engine.FindObject("Meter");
    ASSERT_NE(hMeter, nullptr);
    SSkinRect rect;
    EXPECT_FALSE(m_engine.GetObjectRect(hMeter, rect)) << "Meter has images, no rectangle";
    HSKINOBJECT hBox = m_engine.FindObject("Box");
    ASSERT_TRUE(m_engine.GetObjectRect(hBox, rect));
    EXPECT_EQ(rect, (SSkinRect{10, 20, 50, 60}));
    EXPECT_EQ(m_engine.OpenHandles(), 2);

    // A reload replaces the skin; the open handle still draws from the old one.
    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "TESTSKIN"));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    EXPECT_TRUE(m_engine.DrawImage(hMeter, "Face", painter, QRect(0, 0, 4, 4)));
    EXPECT_FALSE(m_engine.DrawImage(hMeter, "Glow", painter, QRect(0, 0, 4, 4)));
    painter.end();
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 0, 0));

    m_engine.ReleaseObject(hMeter);
    m_engine.ReleaseObject(hBox);
    m_engine.ReleaseObject(hBox);  // once too often: ignored
    EXPECT_EQ(m_engine.OpenHandles(), 0);
}

TEST_F(SkinEngineTest, ApplySkinPaintsTheWindowOrLeavesItForAnUnknownName) {
    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "TESTSKIN"));
    QWidget window;
    window.resize(20, 20);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::white));

    EXPECT_FALSE(m_engine.ApplySkin(&window, "NoSuchWin"));
    EXPECT_EQ(window.grab().toImage().pixel(10, 10), qRgb(255, 255, 255));

    EXPECT_TRUE(m_engine.ApplySkin(&window, "TestWin"));
    EXPECT_EQ(window.grab().toImage().pixel(10, 10), qRgb(0, 255, 0));
}

TEST_F(SkinEngineTest, ButtonsShowPressedAndDisabledStates) {
    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "KESTRELSKIN"));
    CDialog window(102, &m_engine);
    ASSERT_TRUE(window.Create()) << window.LastError();
    ASSERT_TRUE(m_engine.ApplySkin(&window, "MainWin"));
    auto* pButton = window.GetDlgItemAs<QPushButton>(1004);
    ASSERT_NE(pButton, nullptr);

    const QImage normal = pButton->grab().toImage();
    pButton->setDown(true);
    const QImage pressed = pButton->grab().toImage();
    pButton->setDown(false);
    pButton->setEnabled(false);
    const QImage disabled = pButton->grab().toImage();

    EXPECT_NE(normal, pressed);
    EXPECT_NE(normal, disabled);
    EXPECT_NE(pressed, disabled);

    // The main window's display is dark glass, not a plain dialog.
    const QImage panel = window.grab().toImage();
    EXPECT_LT(qGray(panel.pixel(120, 60)), 40);
}

TEST_F(SkinEngineTest, ClearedDialogSkinSkipsOnlyTheNextDialog) {
    ASSERT_TRUE(m_engine.LoadSkin("SKIN", "KESTRELSKIN"));
    auto lookOf = [this] {
        CDialog dialog(100, &m_engine);
        EXPECT_TRUE(dialog.Create());
        return dialog.property(CSkinEngine::kSkinProperty).toString().toStdString();
    };
    EXPECT_EQ(lookOf(), "Dialog");
    m_engine.ClearDialogSkin();
    EXPECT_EQ(lookOf(), "");
    EXPECT_EQ(lookOf(), "Dialog");
}

}  // namespace
