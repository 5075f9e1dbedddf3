#include "platform/dialogs/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "platform/window/MessageTarget.h"

namespace {

QWidget* OwnerWidget(CMessageTarget* owner) {
    for (QObject* pObject = dynamic_cast<QObject*>(owner); pObject; pObject = pObject->parent()) {
        if (pObject->isWidgetType()) {
            return static_cast<QWidget*>(pObject)->window();
        }
    }
    return QApplication::activeWindow();
}

QMessageBox::Icon BoxIcon(CMessageBoxes::EIcon icon) {
    switch (icon) {
        case CMessageBoxes::EIcon::Error:
            return QMessageBox::Critical;
        case CMessageBoxes::EIcon::Warning:
            return QMessageBox::Warning;
        case CMessageBoxes::EIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

void CQtMessageBoxes::Show(CMessageTarget* owner, const std::string& text,
                           const std::string& caption, EIcon icon) {
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, OwnerWidget(owner));
    box.exec();
}

bool CQtMessageBoxes::Confirm(CMessageTarget* owner, const std::string& text,
                              const std::string& caption, const std::string& strConfirm,
                              const std::string& strCancel) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::NoButton, OwnerWidget(owner));
    QPushButton* pConfirm =
        box.addButton(QString::fromStdString(strConfirm), QMessageBox::DestructiveRole);
    QPushButton* pCancel =
        box.addButton(QString::fromStdString(strCancel), QMessageBox::RejectRole);
    box.setDefaultButton(pCancel);
    box.setEscapeButton(pCancel);
    box.exec();
    return box.clickedButton() == pConfirm;
}
