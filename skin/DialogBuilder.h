#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <map>

#include "skin/DialogTemplate.h"

class QWidget;

// Turns a dialog template into Qt widgets. The template's font is the
// "System" font of size 10 for which one dialog unit is two pixels across and
// down, so every rectangle is simply doubled.
//
// Widget per kind: push button, radio and check box (push-like ones are
// checkable QPushButtons), QLabel for statics and icons, QLineEdit, a
// non-editable QComboBox, QTreeWidget for a report list view, QSlider,
// QDateTimeEdit and QGroupBox. A combo box keeps its template height as the
// height of its drop-down list; the closed box is one text line high, as the
// control on Windows is.
class CDialogBuilder {
public:
    static constexpr int kPixelsPerUnit = 2;
    // Height of a closed combo box in pixels.
    static constexpr int kComboHeight = 24;
    // Dynamic property holding a control's identifier (the skin engine reads it).
    static constexpr const char* kIdProperty = "kestrelControlId";

    // Creates the template's controls as children of pDialog, in template
    // order (which is also the tab order), gives pDialog the template's font
    // and fixed size, and fills controls by identifier. Anonymous statics
    // (id -1) are created but not listed.
    static void Build(const CDialogTemplate& dialogTemplate, QWidget* pDialog,
                      std::map<int, QWidget*>& controls);

    static QRect ToPixels(const QRect& dialogUnits);
    // The font a template names; "System" maps to the desktop's sans serif.
    static QFont TemplateFont(const std::string& strName, int nSize);

    // Text of a control as the window text of its Windows counterpart: the
    // caption of a button or static, the contents of an edit, the selected
    // item of a combo box. Empty for kinds without text.
    static QString Text(const QWidget* pControl);
    // Sets that text; false for kinds without one.
    static bool SetText(QWidget* pControl, const QString& strText);

private:
    static QWidget* Create(const SControlTemplate& control, QWidget* pParent);
};
