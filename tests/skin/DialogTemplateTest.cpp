#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <map>

#include "skin/DialogBuilder.h"
#include "skin/DialogTemplate.h"

namespace {

const int kTemplates[] = {100, 102, 131, 132, 133, 137, 138, 141};

bool IsWidgetOfKind(const QWidget* pWidget, EControlKind kind, bool bPushLike) {
    switch (kind) {
        case EControlKind::PushButton:
            return qobject_cast<const QPushButton*>(pWidget) != nullptr;
        case EControlKind::RadioButton:
        case EControlKind::CheckBox:
            return bPushLike ? qobject_cast<const QPushButton*>(pWidget) &&
                                   qobject_cast<const QPushButton*>(pWidget)->isCheckable()
                             : qobject_cast<const QAbstractButton*>(pWidget) != nullptr;
        case EControlKind::Static:
        case EControlKind::Icon:
            return qobject_cast<const QLabel*>(pWidget) != nullptr;
        case EControlKind::Edit:
            return qobject_cast<const QLineEdit*>(pWidget) != nullptr;
        case EControlKind::ComboBox:
            return qobject_cast<const QComboBox*>(pWidget) != nullptr;
        case EControlKind::ListView:
            return qobject_cast<const QAbstractItemView*>(pWidget) != nullptr;
        case EControlKind::Trackbar:
            return qobject_cast<const QSlider*>(pWidget) != nullptr;
        case EControlKind::DateTimePicker:
            return qobject_cast<const QDateTimeEdit*>(pWidget) != nullptr;
        case EControlKind::GroupBox:
            return true;
        case EControlKind::ProgressBar:
            return qobject_cast<const QProgressBar*>(pWidget) != nullptr;
    }
    return false;
}

TEST(DialogTemplateTest, EveryTemplateBuildsAtTwiceItsDialogUnits) {
    for (int nId : kTemplates) {
        SCOPED_TRACE("template " + std::to_string(nId));
        CDialogTemplate dialogTemplate;
        std::string strError;
        ASSERT_TRUE(CDialogTemplate::Load(nId, dialogTemplate, strError)) << strError;
        QWidget dialog;
        std::map<int, QWidget*> controls;
        CDialogBuilder::Build(dialogTemplate, &dialog, controls);
        EXPECT_EQ(dialog.size(), dialogTemplate.Size() * 2);

        for (const SControlTemplate& control : dialogTemplate.Controls()) {
            if (control.nId == -1) {
                continue;
            }
            SCOPED_TRACE("control " + std::to_string(control.nId));
            QWidget* pWidget = controls.at(control.nId);
            QRect expected(control.rect.x() * 2, control.rect.y() * 2, control.rect.width() * 2,
                           control.rect.height() * 2);
            if (control.kind == EControlKind::ComboBox) {
                // The template height is the drop-down list's; the box is one line.
                expected.setHeight(std::min(expected.height(), CDialogBuilder::kComboHeight));
            }
            EXPECT_EQ(pWidget->geometry(), expected);
            EXPECT_TRUE(IsWidgetOfKind(pWidget, control.kind, control.Has(STYLE_PUSHLIKE)));
            EXPECT_EQ(pWidget->isHidden(), control.Has(STYLE_HIDDEN));
        }
    }
}

// A template built as the windows build it, its controls by identifier.
class CBuiltTemplate {
public:
    explicit CBuiltTemplate(int nId) {
        CDialogTemplate dialogTemplate;
        std::string strError;
        m_bLoaded = CDialogTemplate::Load(nId, dialogTemplate, strError);
        CDialogBuilder::Build(dialogTemplate, &m_dialog, m_controls);
    }
    bool Loaded() const { return m_bLoaded; }
    QWidget& Dialog() { return m_dialog; }
    template <typename T>
    T* Control(int nId) const {
        const auto it = m_controls.find(nId);
        return it == m_controls.end() ? nullptr : qobject_cast<T*>(it->second);
    }
    QStringList Items(int nId) const {
        QStringList items;
        if (const auto* pCombo = Control<QComboBox>(nId)) {
            for (int n = 0; n < pCombo->count(); ++n) {
                items << pCombo->itemText(n);
            }
        }
        return items;
    }

private:
    bool m_bLoaded = false;
    QWidget m_dialog;
    std::map<int, QWidget*> m_controls;
};

// What the main window shows and does before its code touches it.
TEST(DialogTemplateTest, TheMainWindowsControlsBehaveAsTheRadioNeeds) {
    CBuiltTemplate main(102);
    ASSERT_TRUE(main.Loaded());
    EXPECT_EQ(main.Dialog().size(), QSize(640, 400));
    ASSERT_NE(main.Control<QLabel>(1023), nullptr);
    EXPECT_EQ(main.Control<QLabel>(1023)->text(), "108.2MHz");  // until the first tune
    EXPECT_TRUE(main.Control<QWidget>(1020)->isHidden());       // the page number
    EXPECT_TRUE(main.Control<QWidget>(1028)->isHidden());       // the recording lamp

    // The band buttons are a pair: choosing one lets the other go.
    auto* pAm = main.Control<QPushButton>(1021);
    auto* pFm = main.Control<QPushButton>(1022);
    ASSERT_TRUE(pAm && pFm);
    EXPECT_EQ(pAm->text(), "  AM");
    pFm->click();
    pAm->click();
    EXPECT_TRUE(pAm->isChecked());
    EXPECT_FALSE(pFm->isChecked());
    pAm->click();  // the chosen one stays chosen
    EXPECT_TRUE(pAm->isChecked());

    // Mute is a toggle on its own.
    auto* pMute = main.Control<QPushButton>(1031);
    ASSERT_NE(pMute, nullptr);
    pMute->click();
    EXPECT_TRUE(pMute->isChecked());
    EXPECT_TRUE(pAm->isChecked());
    pMute->click();
    EXPECT_FALSE(pMute->isChecked());

    // The keypad reads in two rows of five, left to right.
    for (int n = 0; n < 10; ++n) {
        const QRect key = main.Control<QPushButton>(1008 + n)->geometry();
        if (n % 5 != 0) {
            const QRect before = main.Control<QPushButton>(1007 + n)->geometry();
            EXPECT_GT(key.left(), before.right()) << n;
            EXPECT_EQ(key.top(), before.top()) << n;
        }
        if (n >= 5) {
            EXPECT_GT(key.top(), main.Control<QPushButton>(1003 + n)->geometry().bottom()) << n;
        }
    }
    ASSERT_NE(main.Control<QSlider>(1030), nullptr);
    EXPECT_EQ(main.Control<QSlider>(1030)->tickPosition(), QSlider::NoTicks);
}

TEST(DialogTemplateTest, TheToolWindowsOfferTheirChoices) {
    CBuiltTemplate player(131);
    EXPECT_EQ(player.Dialog().windowTitle(), "Record Play");

    CBuiltTemplate shortKeys(132);
    EXPECT_EQ(shortKeys.Items(1048).size(), 100);  // one per preset slot

    CBuiltTemplate options(133);
    EXPECT_EQ(options.Items(1050), (QStringList{"Europe Model", "Japan Model ", "USA Model"}));
    ASSERT_NE(options.Control<QPushButton>(2), nullptr);
    EXPECT_EQ(options.Control<QPushButton>(2)->text(), "Cancle");

    // Enter adds a task: Add is the one default button.
    CBuiltTemplate newTask(137);
    EXPECT_EQ(newTask.Items(1043), QStringList{""});
    EXPECT_EQ(newTask.Items(1027), (QStringList{"AM", "FM"}));
    ASSERT_NE(newTask.Control<QPushButton>(1), nullptr);
    EXPECT_TRUE(newTask.Control<QPushButton>(1)->isDefault());
    EXPECT_FALSE(newTask.Control<QPushButton>(2)->isDefault());
    ASSERT_NE(newTask.Control<QCheckBox>(1031), nullptr);
    EXPECT_EQ(newTask.Control<QCheckBox>(1031)->text(), "&Mute");
    const auto* pEnd = newTask.Control<QDateTimeEdit>(1026);
    ASSERT_NE(pEnd, nullptr);
    EXPECT_TRUE(pEnd->displayedSections() & QDateTimeEdit::HourSection);
    EXPECT_FALSE(pEnd->displayedSections() & QDateTimeEdit::DaySection);

    // The task list keeps its own order: its headings do not sort.
    CBuiltTemplate taskList(138);
    ASSERT_NE(taskList.Control<QPushButton>(1014), nullptr);
    EXPECT_EQ(taskList.Control<QPushButton>(1014)->text(), "&New");
    ASSERT_NE(taskList.Control<QTreeWidget>(1042), nullptr);
    EXPECT_FALSE(taskList.Control<QTreeWidget>(1042)->header()->sectionsClickable());
}

TEST(DialogTemplateTest, DamagedTemplatesAreRefusedWithTheirFault) {
    const std::pair<const char*, const char*> damaged[] = {
        {"{\"id\": 1, \"size\": [10, 10", "offset"},
        {"{\"id\": 1}", "size"},
        {"{\"id\": 1, \"size\": [10, 10], \"controls\": [{\"id\": 5, \"kind\": \"knob\", "
         "\"rect\": [0, 0, 1, 1]}]}",
         "control 5: unknown kind \"knob\""},
        {"{\"id\": 1, \"size\": [10, 10], \"controls\": [{\"id\": 5, \"kind\": \"edit\", "
         "\"rect\": [0, 0, 1]}]}",
         "control 5: \"rect\""},
        {"{\"id\": 1, \"size\": [10, 10], \"controls\": [{\"id\": 5, \"kind\": \"edit\", "
         "\"rect\": [0, 0, 1, 1], \"style\": [\"shiny\"]}]}",
         "unknown style \"shiny\""},
        {"{\"id\": 1, \"size\": [10, 10], \"controls\": ["
         "{\"id\": 5, \"kind\": \"edit\", \"rect\": [0, 0, 1, 1]},"
         "{\"id\": 5, \"kind\": \"edit\", \"rect\": [0, 0, 1, 1]}]}",
         "control 5 appears twice"},
    };
    for (const auto& [pszText, pszFault] : damaged) {
        CDialogTemplate result;
        std::string strError;
        EXPECT_FALSE(CDialogTemplate::Parse(pszText, "test.json", result, strError)) << pszText;
        EXPECT_NE(strError.find(pszFault), std::string::npos) << strError;
        EXPECT_EQ(strError.rfind("test.json", 0), 0u) << strError;
    }
    CDialogTemplate result;
    std::string strError;
    EXPECT_FALSE(CDialogTemplate::Load(999, result, strError));
    EXPECT_NE(strError.find("999"), std::string::npos);
}

}  // namespace
