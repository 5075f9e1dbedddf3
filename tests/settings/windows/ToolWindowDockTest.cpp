#include <QApplication>
#include <QPointer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "presets/windows/ShortKeyDlg.h"
#include "record/windows/PlayDlg.h"
#include "schedule/windows/TaskListDlg.h"
#include "settings/windows/OptionDlg.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"

namespace {

// Where a window's frame was when it was first shown: a window manager
// frames a window where it is mapped, and a move right after that may place
// the client area, not the frame, at the given point.
class CFirstShowSpy : public QObject {
public:
    explicit CFirstShowSpy(QWidget* pWindow) : QObject(pWindow) {
        pWindow->installEventFilter(this);
    }
    bool m_bShown = false;
    QPoint m_shownAt;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Show && !m_bShown) {
            m_bShown = true;
            m_shownAt = static_cast<QWidget*>(pWatched)->pos();
        }
        return false;
    }
};

// The four tool windows, each opened as the main window opens it, show up
// docked: their frame's top-left corner at the main window's top-right one.
TEST(ToolWindowDockTest, EveryToolWindowOpensDockedBesideTheMainWindow) {
    CCoreRig rig;
    CSkinEngine skin;
    ASSERT_TRUE(skin.Initialise("KestrelFM") && skin.LoadSkin("SKIN", "KESTRELSKIN"));
    QWidget owner;
    owner.setGeometry(100, 100, 640, 400);
    owner.show();
    QApplication::processEvents();
    const QPoint corner = owner.frameGeometry().topRight() + QPoint(1, 0);

    const std::vector<std::function<CDialog*()>> makers = {
        [&] { return new CPlayDlg(&rig.Core(), &skin, &owner); },
        [&] { return new COptionDlg(&rig.Core(), &skin, &owner); },
        [&] { return new CShortKeyDlg(&rig.Core(), &skin, &owner); },
        [&] { return new CTaskListDlg(&rig.Core(), &skin, &owner); },
    };
    for (const auto& make : makers) {
        QPointer<CDialog> pWindow = make();
        pWindow->setWindowFlag(Qt::Tool);
        pWindow->setAttribute(Qt::WA_DeleteOnClose);
        auto* pSpy = new CFirstShowSpy(pWindow);
        ASSERT_TRUE(pWindow->Create()) << pWindow->TemplateId();
        pWindow->show();
        QApplication::processEvents();
        const int nId = pWindow->TemplateId();
        EXPECT_TRUE(pSpy->m_bShown) << nId;
        EXPECT_EQ(pSpy->m_shownAt, corner) << nId;
        EXPECT_EQ(pWindow->frameGeometry().topLeft(), corner) << nId;

        // The main window docks them again as it moves.
        pWindow->DockToOwner();
        QApplication::processEvents();
        EXPECT_EQ(pWindow->frameGeometry().topLeft(), corner) << nId;

        pWindow->DestroyWindow();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(pWindow.isNull()) << nId;
    }
}

}  // namespace
