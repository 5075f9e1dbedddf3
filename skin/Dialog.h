#pragma once

#include <QDialog>
#include <QPoint>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class CCommandMap;
class CDataExchange;
class CMessageTarget;
class CQtMessageTarget;
class CSkinEngine;
class CWindowTimers;
class QEventLoop;

// A dialog built from a numbered template, with a message map and timers:
// - Create() (modeless) or DoModal() builds the controls from the template,
//   gives the window the skin engine's pending dialog look, and runs
//   OnInitDialog(), whose default writes the members to the controls.
// - Controls are found by identifier; their notifications go through
//   Commands(), the dialog's message map. Identifiers 1 (OK) and 2 (Cancel),
//   Enter without a default button, Escape and the close box end in OnOK()
//   and OnCancel() unless the map handles them; SetEnterIsOk(false) makes
//   Enter without a default button no command at all.
// - Window messages (MessageTarget(), for other objects and threads) go to
//   WindowProc(), whose default calls the handler registered with OnMessage().
// - Window timers by identifier call OnTimer().
// - EndDialog() ends a modal run (DoModal(), RunAsMainWindow()); on a
//   modeless dialog it destroys the window, and a dialog with
//   Qt::WA_DeleteOnClose then frees itself (deferred).
// - From the keyboard: Tab walks the controls in template order, labels name
//   the inputs beside them, buttons are named by their tooltips, Escape is
//   Cancel, and F6 moves between a window and its open tool window.
// UI thread only, except MessageTarget(), which any thread may use.
class CDialog : public QDialog {
    Q_OBJECT

public:
    enum : int { IDOK = 1, IDCANCEL = 2 };
    using MessageHandler = std::function<intptr_t(uintptr_t wParam, intptr_t lParam)>;

    // pSkin may be null: the dialog then keeps Qt's own look.
    CDialog(int nTemplateId, CSkinEngine* pSkin, QWidget* pParent = nullptr);
    ~CDialog() override;

    // Builds the window and initialises it; the caller shows it. False when
    // the template cannot be loaded (LastError() says why).
    bool Create();
    // Builds, initialises and runs the dialog modally; returns the code given
    // to EndDialog(), or -1 when the template cannot be loaded.
    int DoModal();
    // As DoModal(), but the program's other windows stay usable (a tray icon
    // and its menu beside a main window), and the run goes on while the
    // window is hidden: only EndDialog() or DestroyWindow() end it.
    int RunAsMainWindow();
    void EndDialog(int nResult);
    // Hides the window for good and, with Qt::WA_DeleteOnClose, frees the
    // object once control returns to the event loop.
    virtual void DestroyWindow();
    // Tool windows dock with their top-left corner just beside the owner's
    // right edge. DockToOwner() puts the window there without taking the
    // focus; SnapToOwner() does so only when the window lies within
    // kSnapDistance pixels of that corner (a drag that ended close to it).
    static constexpr int kSnapDistance = 6;
    bool OwnerDockCorner(QPoint& corner) const;
    void DockToOwner();
    void SnapToOwner();
    // Releases senders waiting on MessageTarget() and drops later messages
    // (CQtMessageTarget::Close). DestroyWindow() does it too.
    void CloseMessageTarget();
    // F6: activates the owner of a tool window, or the open tool window of
    // a window that owns one, with the keyboard focus on its last focused
    // control (its first one the first time). False when there is none.
    bool FocusNextWindow();
    // Built and not yet destroyed.
    bool IsWindow() const { return m_bBuilt && !m_bDestroyed; }

    QWidget* GetDlgItem(int nId) const;
    template <class T>
    T* GetDlgItemAs(int nId) const {
        return qobject_cast<T*>(GetDlgItem(nId));
    }
    std::string GetDlgItemText(int nId) const;
    bool SetDlgItemText(int nId, const std::string& strText);
    bool EnableDlgItem(int nId, bool bEnable);
    bool ShowDlgItem(int nId, bool bShow);
    // Puts pControl in the place of template control nId: same geometry,
    // visibility, enabled state, stacking and identifier; the template's
    // widget is deleted. The dialog takes ownership of pControl.
    bool SubclassDlgItem(int nId, QWidget* pControl);
    // true: controls into members; false: members into controls.
    bool UpdateData(bool bSaveAndValidate = true);

    CCommandMap& Commands() { return *m_pCommands; }
    CMessageTarget& MessageTarget();
    void OnMessage(uint32_t message, MessageHandler handler);
    void SetTimer(int nId, int nPeriodMs);
    bool KillTimer(int nId);

    int TemplateId() const { return m_nTemplateId; }
    CSkinEngine* SkinEngine() const { return m_pSkin; }
    const std::string& LastError() const { return m_strLastError; }

    void accept() override;
    void reject() override;
    void done(int nResult) override;

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnClose();
    virtual void OnTimer(int nId);
    virtual intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // For tool windows that hold typed entries: Enter must not end them.
    void SetEnterIsOk(bool bEnterIsOk) { m_bEnterIsOk = bEnterIsOk; }

    void closeEvent(QCloseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    bool Build();
    bool HasDefaultButton() const;

    const int m_nTemplateId;
    CSkinEngine* const m_pSkin;
    CCommandMap* m_pCommands;     // child object
    CQtMessageTarget* m_pTarget;  // child object
    CWindowTimers* m_pTimers;     // child object
    std::map<int, QWidget*> m_controls;
    std::map<uint32_t, MessageHandler> m_messageHandlers;
    QEventLoop* m_pMainLoop = nullptr;  // while RunAsMainWindow() runs
    bool m_bBuilt = false;
    bool m_bDestroyed = false;
    bool m_bModal = false;
    bool m_bEnterIsOk = true;
    std::string m_strLastError;
};
