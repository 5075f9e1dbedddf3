#include "skin/DialogBuilder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>

#include <algorithm>

namespace {

Qt::Alignment TextAlignment(const SControlTemplate& control) {
    if (control.Has(STYLE_RIGHT)) {
        return Qt::AlignRight | Qt::AlignVCenter;
    }
    if (control.Has(STYLE_CENTER)) {
        return Qt::AlignHCenter | Qt::AlignVCenter;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* CreateButton(const SControlTemplate& control, QWidget* pParent) {
    const QString strText = QString::fromStdString(control.strText);
    const bool bPushLike = control.kind == EControlKind::PushButton || control.Has(STYLE_PUSHLIKE);
    if (bPushLike) {
        auto* pButton = new QPushButton(strText, pParent);
        // Only the template's default button answers Enter, as on Windows.
        pButton->setAutoDefault(false);
        pButton->setDefault(control.Has(STYLE_DEFAULT));
        if (control.kind != EControlKind::PushButton) {
            pButton->setCheckable(true);
            // Radio buttons of one window form one group, like a WS_GROUP run.
            pButton->setAutoExclusive(control.kind == EControlKind::RadioButton);
        }
        return pButton;
    }
    if (control.kind == EControlKind::RadioButton) {
        return new QRadioButton(strText, pParent);
    }
    return new QCheckBox(strText, pParent);
}

QWidget* CreateListView(const SControlTemplate& control, QWidget* pParent) {
    const auto selection = control.Has(STYLE_SINGLESEL) ? QAbstractItemView::SingleSelection
                                                        : QAbstractItemView::ExtendedSelection;
    if (!control.Has(STYLE_REPORT)) {
        auto* pList = new QListWidget(pParent);
        pList->setSelectionMode(selection);
        return pList;
    }
    auto* pList = new QTreeWidget(pParent);
    pList->setRootIsDecorated(false);
    pList->setUniformRowHeights(true);
    pList->setItemsExpandable(false);
    pList->setSelectionMode(selection);
    pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    pList->setAllColumnsShowFocus(true);
    pList->setColumnCount(0);
    pList->header()->setStretchLastSection(false);
    pList->header()->setSectionsClickable(!control.Has(STYLE_NOSORTHEADER));
    pList->header()->setSectionsMovable(false);
    return pList;
}

QWidget* CreateDateTime(const SControlTemplate& control, QWidget* pParent) {
    auto* pPicker = new QDateTimeEdit(QDateTime::currentDateTime(), pParent);
    if (control.Has(STYLE_TIME)) {
        pPicker->setDisplayFormat("HH:mm:ss");
    } else {
        pPicker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        pPicker->setCalendarPopup(!control.Has(STYLE_UPDOWN));
    }
    if (control.Has(STYLE_RIGHT)) {
        pPicker->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return pPicker;
}

QWidget* CreateIcon(const SControlTemplate& control, QWidget* pParent) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setAlignment(Qt::AlignCenter);
    // The icon is named by its resource number, as in a Windows template.
    for (const char* extension : {".svg", ".png"}) {
        const QString strPath =
            QString(":/icons/%1%2").arg(QString::fromStdString(control.strText), extension);
        if (QFile::exists(strPath)) {
            const QSize size = CDialogBuilder::ToPixels(control.rect).size();
            pLabel->setPixmap(QIcon(strPath).pixmap(size));
            break;
        }
    }
    return pLabel;
}

bool TakesInput(EControlKind kind) {
    switch (kind) {
        case EControlKind::Edit:
        case EControlKind::ComboBox:
        case EControlKind::ListView:
        case EControlKind::Trackbar:
        case EControlKind::DateTimePicker:
            return true;
        default:
            return false;
    }
}

// A label that comes right before an input in template order, on the same
// line, names it: screen readers say it when the input takes the focus.
void NameInputByLabel(const SControlTemplate* pPrevious, QWidget* pPreviousWidget,
                      const SControlTemplate& control, QWidget* pControl) {
    if (!pPrevious || pPrevious->kind != EControlKind::Static || !TakesInput(control.kind)) {
        return;
    }
    QRect line = control.rect;
    if (control.kind == EControlKind::ComboBox) {
        // The template's height is that of the open list.
        line.setHeight(
            std::min(line.height(), CDialogBuilder::kComboHeight / CDialogBuilder::kPixelsPerUnit));
    }
    const int nMiddle = pPrevious->rect.center().y();
    if (nMiddle < line.top() || nMiddle > line.bottom()) {
        return;
    }
    if (auto* pLabel = qobject_cast<QLabel*>(pPreviousWidget)) {
        pLabel->setBuddy(pControl);
    }
}

}  // namespace

QRect CDialogBuilder::ToPixels(const QRect& dialogUnits) {
    return QRect(dialogUnits.x() * kPixelsPerUnit, dialogUnits.y() * kPixelsPerUnit,
                 dialogUnits.width() * kPixelsPerUnit, dialogUnits.height() * kPixelsPerUnit);
}

QFont CDialogBuilder::TemplateFont(const std::string& strName, int nSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (strName != "System" && strName != "MS Shell Dlg") {
        font.setFamily(QString::fromStdString(strName));
    }
    // Points to pixels at the 96 dpi a dialog unit of two pixels assumes.
    font.setPixelSize(std::max(1, (nSize * 4 + 1) / 3));
    return font;
}

QWidget* CDialogBuilder::Create(const SControlTemplate& control, QWidget* pParent) {
    const QString strText = QString::fromStdString(control.strText);
    switch (control.kind) {
        case EControlKind::PushButton:
        case EControlKind::RadioButton:
        case EControlKind::CheckBox:
            return CreateButton(control, pParent);
        case EControlKind::Static: {
            auto* pLabel = new QLabel(strText, pParent);
            pLabel->setAlignment(TextAlignment(control));
            pLabel->setTextFormat(Qt::PlainText);
            return pLabel;
        }
        case EControlKind::Icon:
            return CreateIcon(control, pParent);
        case EControlKind::Edit: {
            auto* pEdit = new QLineEdit(strText, pParent);
            pEdit->setAlignment(TextAlignment(control));
            pEdit->setReadOnly(control.Has(STYLE_READONLY));
            return pEdit;
        }
        case EControlKind::ComboBox: {
            auto* pCombo = new QComboBox(pParent);
            for (const std::string& item : control.items) {
                pCombo->addItem(QString::fromStdString(item));
            }
            // An unsorted Windows list starts with no selection.
            pCombo->setCurrentIndex(-1);
            const int nDropHeight = control.rect.height() * kPixelsPerUnit - kComboHeight;
            pCombo->setMaxVisibleItems(std::max(3, nDropHeight / 16));
            if (control.Has(STYLE_SORT)) {
                pCombo->model()->sort(0);
            }
            return pCombo;
        }
        case EControlKind::ListView:
            return CreateListView(control, pParent);
        case EControlKind::Trackbar: {
            auto* pSlider =
                new QSlider(control.Has(STYLE_VERTICAL) ? Qt::Vertical : Qt::Horizontal, pParent);
            // A trackbar's range is 0 to 100 until its owner sets one.
            pSlider->setRange(0, 100);
            pSlider->setTickPosition(control.Has(STYLE_NOTICKS) ? QSlider::NoTicks
                                                                : QSlider::TicksBelow);
            return pSlider;
        }
        case EControlKind::DateTimePicker:
            return CreateDateTime(control, pParent);
        case EControlKind::GroupBox:
            return new QGroupBox(strText, pParent);
        case EControlKind::ProgressBar: {
            auto* pBar = new QProgressBar(pParent);
            pBar->setRange(0, 100);
            pBar->setValue(0);
            return pBar;
        }
    }
    return new QWidget(pParent);
}

void CDialogBuilder::Build(const CDialogTemplate& dialogTemplate, QWidget* pDialog,
                           std::map<int, QWidget*>& controls) {
    pDialog->setFont(TemplateFont(dialogTemplate.FontName(), dialogTemplate.FontSize()));
    pDialog->setFixedSize(dialogTemplate.Size() * kPixelsPerUnit);
    pDialog->setWindowTitle(QString::fromStdString(dialogTemplate.Caption()));
    const SControlTemplate* pPrevious = nullptr;
    QWidget* pPreviousWidget = nullptr;
    for (const SControlTemplate& control : dialogTemplate.Controls()) {
        QWidget* pControl = Create(control, pDialog);
        NameInputByLabel(pPrevious, pPreviousWidget, control, pControl);
        pPrevious = &control;
        pPreviousWidget = pControl;
        QRect rect = ToPixels(control.rect);
        if (control.kind == EControlKind::ComboBox) {
            rect.setHeight(std::min(rect.height(), kComboHeight));
        }
        pControl->setGeometry(rect);
        pControl->setProperty(kIdProperty, control.nId);
        pControl->setEnabled(!control.Has(STYLE_DISABLED));
        pControl->setVisible(!control.Has(STYLE_HIDDEN));
        if (control.nId != -1) {
            controls[control.nId] = pControl;
        }
    }
}

QString CDialogBuilder::Text(const QWidget* pControl) {
    if (auto* pButton = qobject_cast<const QAbstractButton*>(pControl)) {
        return pButton->text();
    }
    if (auto* pLabel = qobject_cast<const QLabel*>(pControl)) {
        return pLabel->text();
    }
    if (auto* pEdit = qobject_cast<const QLineEdit*>(pControl)) {
        return pEdit->text();
    }
    if (auto* pCombo = qobject_cast<const QComboBox*>(pControl)) {
        return pCombo->currentText();
    }
    if (auto* pGroup = qobject_cast<const QGroupBox*>(pControl)) {
        return pGroup->title();
    }
    if (auto* pPicker = qobject_cast<const QDateTimeEdit*>(pControl)) {
        return pPicker->text();
    }
    return {};
}

bool CDialogBuilder::SetText(QWidget* pControl, const QString& strText) {
    if (auto* pButton = qobject_cast<QAbstractButton*>(pControl)) {
        pButton->setText(strText);
        return true;
    }
    if (auto* pLabel = qobject_cast<QLabel*>(pControl)) {
        pLabel->setText(strText);
        return true;
    }
    if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) {
        pEdit->setText(strText);
        return true;
    }
    if (auto* pCombo = qobject_cast<QComboBox*>(pControl)) {
        // A drop-down list selects the item with that text, or none.
        pCombo->setCurrentIndex(pCombo->findText(strText, Qt::MatchFixedString));
        return true;
    }
    if (auto* pGroup = qobject_cast<QGroupBox*>(pControl)) {
        pGroup->setTitle(strText);
        return true;
    }
    return false;
}
