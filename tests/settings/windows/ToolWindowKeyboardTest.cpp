#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/RadioDlg.h"
#include "presets/windows/ShortKeyDlg.h"
#include "record/windows/PlayDlg.h"
#include "schedule/windows/TaskListDlg.h"
#include "settings/windows/OptionDlg.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"

// Every window can be worked without a mouse and read by a screen reader.
namespace {

QString AccessibleName(QWidget* pWidget) {
    QAccessibleInterface* pInterface = QAccessible::queryAccessibleInterface(pWidget);
    return pInterface ? pInterface->text(QAccessible::Name) : QString();
}

void Press(QWidget* pTarget, int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, nKey, modifiers);
    QApplication::sendEvent(pTarget, &press);
    QKeyEvent release(QEvent::KeyRelease, nKey, modifiers);
    QApplication::sendEvent(pTarget, &release);
    QApplication::processEvents();
}

// Buttons of a window, each with what a screen reader says for it.
void ExpectNamedButtons(QWidget& window, const std::string& strWindow) {
    const auto buttons = window.findChildren<QAbstractButton*>();
    EXPECT_FALSE(buttons.isEmpty()) << strWindow;
    for (QAbstractButton* pButton : buttons) {
        EXPECT_FALSE(AccessibleName(pButton).trimmed().isEmpty())
            << strWindow << ": button " << pButton->property("kestrelControlId").toInt()
            << " has no name";
    }
}

class ToolWindowKeyboardTest : public ::testing::Test {
protected:
    ToolWindowKeyboardTest() {
        // The shipped texts, as a user has them.
        std::filesystem::copy_file(KESTREL_SHIPPED_LANGUAGE, m_rig.m_dir.File("Language.ini"));
        m_rig.m_profile.WriteProfileInt("SET", "LANGUAGE", 0);
        m_skin.Initialise("KestrelFM");
        m_skin.LoadSkin("SKIN", "KESTRELSKIN");
        m_owner.setGeometry(100, 100, 640, 400);
        m_owner.Create();
        // The radio runs as a modal dialog; its tool windows stay in reach.
        m_owner.setWindowModality(Qt::ApplicationModal);
        m_owner.show();
        m_owner.activateWindow();
        QApplication::processEvents();
    }

    std::vector<std::function<CDialog*()>> Makers() {
        return {
            [this] { return new CPlayDlg(&m_rig.Core(), &m_skin, &m_owner); },
            [this] { return new COptionDlg(&m_rig.Core(), &m_skin, &m_owner); },
            [this] { return new CShortKeyDlg(&m_rig.Core(), &m_skin, &m_owner); },
            [this] { return new CTaskListDlg(&m_rig.Core(), &m_skin, &m_owner); },
        };
    }
    // Opened as the main window opens its tool windows: shown, not active.
    static QPointer<CDialog> Open(CDialog* pWindow) {
        pWindow->setWindowFlag(Qt::Tool);
        pWindow->setAttribute(Qt::WA_DeleteOnClose);
        EXPECT_TRUE(pWindow->Create()) << pWindow->TemplateId();
        pWindow->show();
        QApplication::processEvents();
        return pWindow;
    }
    static void Settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CCoreRig m_rig;
    CSkinEngine m_skin;
    CDialog m_owner{100, nullptr};  // the about box stands in for the radio
};

TEST_F(ToolWindowKeyboardTest, EveryButtonOfEveryToolWindowHasAName) {
    for (const auto& make : Makers()) {
        QPointer<CDialog> pWindow = Open(make());
        const std::string strWindow = std::to_string(pWindow->TemplateId());
        ExpectNamedButtons(*pWindow, strWindow);
        pWindow->DestroyWindow();
        Settle();
    }
}

TEST_F(ToolWindowKeyboardTest, ButtonsAreNamedByTheirTooltipsAndInputsByTheirLabels) {
    QPointer<CDialog> pOptions = Open(new COptionDlg(&m_rig.Core(), &m_skin, &m_owner));
    auto* pOk = pOptions->GetDlgItemAs<QAbstractButton>(CDialog::IDOK);
    EXPECT_EQ(AccessibleName(pOk), pOk->text().remove('&'));
    pOk->setToolTip("Store the options");
    EXPECT_EQ(AccessibleName(pOk), "Store the options");
    pOk->setToolTip("");
    EXPECT_EQ(AccessibleName(pOk), pOk->text().remove('&'));

    // Each input beside its label is labelled by it (a list says its item
    // as its name, so the label comes with it as its label).
    for (const auto& [nLabel, nInput] :
         {std::pair{1039, COptionDlg::IDC_STANDARD}, std::pair{1041, COptionDlg::IDC_DEVICE},
          std::pair{1045, COptionDlg::IDC_PATH}}) {
        QAccessibleInterface* pInput =
            QAccessible::queryAccessibleInterface(pOptions->GetDlgItem(nInput));
        ASSERT_NE(pInput, nullptr);
        QStringList labels;
        for (const auto& [pRelated, relation] : pInput->relations(QAccessible::Label)) {
            labels << pRelated->text(QAccessible::Name);
        }
        EXPECT_EQ(labels, QStringList{QString::fromStdString(pOptions->GetDlgItemText(nLabel))})
            << nInput;
    }
    EXPECT_EQ(AccessibleName(pOptions->GetDlgItem(COptionDlg::IDC_PATH)),
              QString::fromStdString(pOptions->GetDlgItemText(1045)));
    pOptions->DestroyWindow();
    Settle();
}

TEST_F(ToolWindowKeyboardTest, F6TabAndEscapeWorkEveryToolWindow) {
    for (const auto& make : Makers()) {
        QPointer<CDialog> pWindow = Open(make());
        const int nId = pWindow->TemplateId();
        ASSERT_TRUE(pWindow->IsWindow()) << nId;

        // F6 from the radio brings the keyboard to the tool window ...
        Press(&m_owner, Qt::Key_F6);
        QWidget* pFocus = QApplication::focusWidget();
        ASSERT_NE(pFocus, nullptr) << nId;
        EXPECT_EQ(pFocus->window(), pWindow.data()) << nId;

        // ... where Tab reaches every control that takes input, in turn.
        std::set<QWidget*> reached;
        for (int n = 0; n < 40 && QApplication::focusWidget(); ++n) {
            reached.insert(QApplication::focusWidget());
            Press(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (QWidget* pControl : pWindow->findChildren<QWidget*>()) {
            const bool bTakesInput = qobject_cast<QAbstractButton*>(pControl) ||
                                     qobject_cast<QComboBox*>(pControl) ||
                                     qobject_cast<QLineEdit*>(pControl);
            if (bTakesInput && pControl->isVisible() && pControl->isEnabled() &&
                pControl->parentWidget() == pWindow) {
                EXPECT_TRUE(reached.count(pControl))
                    << nId << ": control " << pControl->property("kestrelControlId").toInt()
                    << " is out of the keyboard's reach";
            }
        }

        // F6 again goes back; and from the tool window Escape closes it.
        Press(QApplication::focusWidget(), Qt::Key_F6);
        ASSERT_NE(QApplication::focusWidget(), nullptr) << nId;
        EXPECT_EQ(QApplication::focusWidget()->window(), &m_owner) << nId;
        Press(&m_owner, Qt::Key_F6);
        Press(QApplication::focusWidget(), Qt::Key_Escape);
        Settle();
        EXPECT_TRUE(pWindow.isNull() || !pWindow->IsWindow()) << nId;
    }
}

// The radio's own buttons: many show only a picture.
TEST(MainWindowNamesTest, EveryButtonOfTheMainWindowHasAName) {
    CCoreRig rig;
    std::filesystem::copy_file(KESTREL_SHIPPED_LANGUAGE, rig.m_dir.File("Language.ini"));
    rig.m_profile.WriteProfileInt("SET", "LANGUAGE", 0);
    CSkinEngine skin;
    skin.Initialise("KestrelFM");
    skin.LoadSkin("SKIN", "KESTRELSKIN");
    rig.Card();
    CRadioDlg window(rig.Services(), rig.m_profile, &skin);
    window.Create();
    window.show();
    QApplication::processEvents();
    ExpectNamedButtons(window, "main window");
}

}  // namespace
