#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "skin/SkinObject.h"

class CSkin;
class CSkinStyle;
class QPainter;
class QRect;
class QWidget;

// The skin engine: gives each named window its look and hands out the skin's
// named objects for controls that draw themselves.
//
// Use, in this order: Initialise() once the application object exists, then
// LoadSkin() with the embedded skin (type "SKIN", name "KESTRELSKIN", the Qt
// resource folder ":/SKIN/KESTRELSKIN"). From then on every dialog built by
// CDialog first gets the skin's default dialog look, and each window names its
// own look with ApplySkin().
//
// Contract: UI thread only. The engine outlives every window it skins and
// every handle it gives out. A failed call changes nothing and leaves the
// reason in LastError(); callers may ignore the results, the program then
// simply runs unskinned.
class CSkinEngine {
public:
    CSkinEngine();
    ~CSkinEngine();
    CSkinEngine(const CSkinEngine&) = delete;
    CSkinEngine& operator=(const CSkinEngine&) = delete;

    // strAppName identifies the program in diagnostics ("KestrelFM"). Needs
    // the QApplication.
    bool Initialise(const std::string& strAppName);
    // Loads the skin of resource type strType and name strName. On failure the
    // skin loaded before stays in use.
    bool LoadSkin(const std::string& strType, const std::string& strName);

    // Gives pWindow and its controls the look of the skin's window strSkinName
    // ("MainWin", "PlayWin", ...). Unknown name: false, the window keeps its look.
    bool ApplySkin(QWidget* pWindow, const std::string& strSkinName);
    // The next dialog built gets no default look (it sets its own at once);
    // the dialogs after it get the default again.
    void ClearDialogSkin();
    // Called by a dialog as its window is built: the pending dialog look.
    void SkinNewDialog(QWidget* pDialog);

    // A handle to the object of this name, or null. Release every handle.
    HSKINOBJECT FindObject(const std::string& strName);
    void ReleaseObject(HSKINOBJECT hObject);
    // Draws the object's image strImage over rect; false when it has none.
    bool DrawImage(HSKINOBJECT hObject, const std::string& strImage, QPainter& painter,
                   const QRect& rect) const;
    // The object's rectangle in its window's client coordinates; false when
    // the object has none.
    bool GetObjectRect(HSKINOBJECT hObject, SSkinRect& rect) const;

    const CSkin* Skin() const { return m_pSkin.get(); }
    const std::string& LastError() const { return m_strLastError; }
    // Handles found and not yet released.
    int OpenHandles() const { return static_cast<int>(m_openHandles.size()); }

    // Dynamic property of a skinned window: the name of its look.
    static constexpr const char* kSkinProperty = "kestrelSkin";

private:
    bool Fail(const std::string& strError);

    std::string m_strAppName;
    std::unique_ptr<CSkinStyle> m_pStyle;
    std::shared_ptr<const CSkin> m_pSkin;
    bool m_bDialogSkinCleared = false;
    // An open handle keeps the skin it came from alive across a reload.
    std::vector<std::pair<HSKINOBJECT, std::shared_ptr<const CSkin>>> m_openHandles;
    std::string m_strLastError;
};
