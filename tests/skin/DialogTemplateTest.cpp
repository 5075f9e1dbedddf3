#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

#include <map>

#include "skin/DialogBuilder.h"
#include "skin/DialogTemplate.h"

namespace {

const int kTemplates[] = {100, 102, 131, 132, 133, 137, 138};

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

struct SExpected {
    int nTemplate;
    int nId;
    EControlKind kind;
    QRect rect;
};

TEST(DialogTemplateTest, SampleControlsMatchTheWindowTables) {
    const SExpected expected[] = {
        {102, 1000, EControlKind::PushButton, {88, 82, 22, 14}},
        {102, 1006, EControlKind::PushButton, {250, 83, 22, 14}},
        {102, 1012, EControlKind::PushButton, {252, 139, 22, 14}},
        {102, 1013, EControlKind::PushButton, {152, 159, 22, 14}},
        {102, 1019, EControlKind::PushButton, {94, 169, 22, 14}},
        {102, 1022, EControlKind::RadioButton, {7, 145, 25, 19}},
        {102, 1023, EControlKind::Static, {27, 37, 96, 12}},
        {102, 1030, EControlKind::Trackbar, {93, 108, 100, 15}},
        {102, 1031, EControlKind::CheckBox, {21, 91, 16, 14}},
        {102, 1034, EControlKind::PushButton, {131, 64, 50, 14}},
        {102, 1038, EControlKind::Static, {130, 7, 95, 8}},
        {131, 1042, EControlKind::ListView, {2, 0, 156, 62}},
        {131, 1050, EControlKind::Trackbar, {2, 78, 156, 15}},
        {131, 1003, EControlKind::PushButton, {117, 119, 30, 14}},
        {132, 1024, EControlKind::ComboBox, {99, 3, 63, 69}},
        {132, 1042, EControlKind::ListView, {5, 14, 157, 62}},
        {132, 1031, EControlKind::Edit, {75, 86, 87, 12}},
        {132, 2, EControlKind::PushButton, {108, 101, 35, 11}},
        {132, 1059, EControlKind::Static, {10, 117, 107, 8}},
    };
    std::map<int, CDialogTemplate> templates;
    for (const SExpected& e : expected) {
        std::string strError;
        if (!templates.count(e.nTemplate)) {
            ASSERT_TRUE(CDialogTemplate::Load(e.nTemplate, templates[e.nTemplate], strError));
        }
        const SControlTemplate* pControl = templates[e.nTemplate].Find(e.nId);
        ASSERT_NE(pControl, nullptr) << e.nTemplate << "/" << e.nId;
        EXPECT_EQ(pControl->kind, e.kind) << e.nTemplate << "/" << e.nId;
        EXPECT_EQ(pControl->rect, e.rect) << e.nTemplate << "/" << e.nId;
    }

    const CDialogTemplate& main = templates[102];
    EXPECT_EQ(main.Size(), QSize(320, 200));
    EXPECT_EQ(main.FontName(), "System");
    EXPECT_EQ(main.FontSize(), 10);
    EXPECT_EQ(main.Find(1021)->strText, "  AM");
    EXPECT_TRUE(main.Find(1021)->Has(STYLE_PUSHLIKE));
    EXPECT_EQ(main.Find(1023)->strText, "108.2MHz");
    EXPECT_TRUE(main.Find(1020)->Has(STYLE_HIDDEN));
    EXPECT_TRUE(main.Find(1028)->Has(STYLE_HIDDEN));
    EXPECT_TRUE(main.Find(1030)->Has(STYLE_NOTICKS));
    EXPECT_EQ(templates[131].Caption(), "Record Play");
    EXPECT_EQ(templates[132].Find(1048)->items.size(), 100u);
    EXPECT_TRUE(templates[132].Find(1046)->Has(STYLE_RIGHT));

    std::string strError;
    CDialogTemplate options, newTask, taskList;
    ASSERT_TRUE(CDialogTemplate::Load(133, options, strError));
    ASSERT_TRUE(CDialogTemplate::Load(137, newTask, strError));
    ASSERT_TRUE(CDialogTemplate::Load(138, taskList, strError));
    EXPECT_EQ(options.Caption(), "Options");
    EXPECT_EQ(options.Size(), QSize(167, 138));
    EXPECT_EQ(options.Find(1050)->items,
              (std::vector<std::string>{"Europe Model", "Japan Model ", "USA Model"}));
    EXPECT_EQ(options.Find(2)->strText, "Cancle");
    EXPECT_EQ(newTask.Size(), QSize(167, 134));
    EXPECT_EQ(newTask.Find(1043)->items, std::vector<std::string>{""});
    EXPECT_EQ(newTask.Find(1031)->strText, "&Mute");
    EXPECT_TRUE(newTask.Find(1)->Has(STYLE_DEFAULT));
    EXPECT_TRUE(newTask.Find(1026)->Has(STYLE_TIME) && newTask.Find(1026)->Has(STYLE_UPDOWN));
    EXPECT_EQ(taskList.Size(), QSize(167, 152));
    EXPECT_EQ(taskList.Find(1014)->strText, "&New");
    EXPECT_TRUE(taskList.Find(1042)->Has(STYLE_NOSORTHEADER));
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
