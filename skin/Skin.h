#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QMargins>
#include <QPalette>
#include <QSize>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "skin/SkinObject.h"

class CSkinImage;

// Button face images by state; a missing state falls back to "normal".
struct SSkinFace {
    QMargins margins;  // nine-slice corners
    const CSkinImage* pNormal = nullptr;
    const CSkinImage* pHover = nullptr;
    const CSkinImage* pPressed = nullptr;
    const CSkinImage* pOn = nullptr;  // a checked push-like radio or check box
    const CSkinImage* pDisabled = nullptr;
    std::optional<QFont> font;  // of the text on this face, unless the control names one
};

// A trackbar: the groove across the control, the filled part of it left of
// (or below) the handle, and the handle.
struct SSkinSlider {
    const CSkinImage* pGroove = nullptr;
    const CSkinImage* pFill = nullptr;
    const CSkinImage* pHandle = nullptr;
    QMargins grooveMargins;
    int nGrooveThickness = 6;
    QSize handleSize{16, 24};
};

// How one control looks; every field may be left to the window's default.
struct SSkinLook {
    std::string strFace;                   // name of an SSkinFace (buttons)
    std::string strSlider;                 // name of an SSkinSlider (trackbars)
    const CSkinImage* pGlyph = nullptr;    // drawn centred on a button
    const CSkinImage* pGlyphOn = nullptr;  // instead of pGlyph while checked
    std::optional<QFont> font;
    std::optional<QColor> color;    // text colour
    std::optional<QColor> colorOn;  // text colour of a checked button
    std::optional<Qt::Alignment> align;

    // This look with every field that other sets replaced by other's.
    SSkinLook Merged(const SSkinLook& other) const;
};

// The look of one named window.
struct SSkinWindow {
    const CSkinImage* pBackground = nullptr;
    QMargins margins;  // nine-slice corners of the background
    std::map<QPalette::ColorRole, QColor> colors;
    std::optional<QFont> font;
    SSkinLook defaults;  // every control of the window starts from this
    std::map<int, SSkinLook> controls;

    // The look of control nId: the defaults with its own settings over them.
    SSkinLook Look(int nId) const;
};

// A parsed skin: the description file of one skin folder with every image it
// names loaded. resources/skin/README.md describes the format. Immutable once
// loaded; UI thread only (its images render pixmaps).
class CSkin {
public:
    // Loads "<strFolder>/skin.json" and its images; null with the reason.
    static std::unique_ptr<CSkin> Load(const QString& strFolder, std::string& strError);

    ~CSkin();
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    const std::string& Name() const { return m_strName; }
    const SSkinWindow* Window(const std::string& strName) const;
    // Name of the window look a dialog gets before it names its own; empty
    // when the skin gives dialogs none.
    const std::string& DialogDefault() const { return m_strDialogDefault; }
    const SSkinFace* Face(const std::string& strName) const;
    const SSkinSlider* Slider(const std::string& strName) const;
    const CSkinObject* Object(const std::string& strName) const;

private:
    class CParser;
    CSkin() = default;

    std::string m_strName;
    std::string m_strDialogDefault;
    std::map<QString, std::unique_ptr<CSkinImage>> m_images;  // by file name
    std::map<std::string, SSkinFace> m_faces;
    std::map<std::string, SSkinSlider> m_sliders;
    std::map<std::string, SSkinWindow> m_windows;
    std::map<std::string, CSkinObject> m_objects;
};
