#include "skin/Dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPushButton>

#include <cstdlib>

#include "platform/trace/Trace.h"
#include "platform/window/qt/QtMessageTarget.h"
#include "skin/CommandMap.h"
#include "skin/DataExchange.h"
#include "skin/DialogBuilder.h"
#include "skin/DialogTemplate.h"
#include "skin/SkinEngine.h"
#include "skin/WindowTimers.h"

CDialog::CDialog(int nTemplateId, CSkinEngine* pSkin, QWidget* pParent)
    : QDialog(pParent),
      m_nTemplateId(nTemplateId),
      m_pSkin(pSkin),
      m_pCommands(new CCommandMap(this)),
      m_pTarget(new CQtMessageTarget(
          [this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
              return WindowProc(message, wParam, lParam);
          },
          this)),
      m_pTimers(new CWindowTimers([this](int nId) { OnTimer(nId); }, this)) {
    m_pCommands->SetFallback([this](int nId, CCommandMap::ENotify notify) {
        if (notify != CCommandMap::Clicked || (nId != IDOK && nId != IDCANCEL)) {
            return false;
        }
        nId == IDOK ? OnOK() : OnCancel();
        return true;
    });
}

CDialog::~CDialog() = default;

bool CDialog::Build() {
    if (m_bBuilt) {
        return true;
    }
    CDialogTemplate dialogTemplate;
    if (!CDialogTemplate::Load(m_nTemplateId, dialogTemplate, m_strLastError)) {
        KestrelTrace("dialog", "%s", m_strLastError.c_str());
        return false;
    }
    CDialogBuilder::Build(dialogTemplate, this, m_controls);
    for (const auto& [nId, pControl] : m_controls) {
        m_pCommands->Attach(nId, pControl);
    }
    if (m_pSkin) {
        m_pSkin->SkinNewDialog(this);
    }
    m_bBuilt = true;
    OnInitDialog();
    return true;
}

bool CDialog::Create() {
    m_bModal = false;
    return Build();
}

int CDialog::DoModal() {
    m_bModal = true;
    if (!Build()) {
        return -1;
    }
    return exec();
}

int CDialog::RunAsMainWindow() {
    m_bModal = true;
    if (!Build()) {
        return -1;
    }
    QEventLoop loop;
    m_pMainLoop = &loop;
    show();
    loop.exec(QEventLoop::DialogExec);
    m_pMainLoop = nullptr;
    return result();
}

// A hidden window's own hide ends nothing: the main run is ended here.
void CDialog::done(int nResult) {
    QDialog::done(nResult);
    if (m_pMainLoop) {
        m_pMainLoop->exit(nResult);
    }
}

void CDialog::EndDialog(int nResult) {
    if (m_bModal) {
        done(nResult);
        return;
    }
    setResult(nResult);
    DestroyWindow();
}

void CDialog::DestroyWindow() {
    if (m_bDestroyed) {
        return;
    }
    m_bDestroyed = true;
    CloseMessageTarget();
    if (m_bModal && (isVisible() || m_pMainLoop)) {
        done(IDCANCEL);
    }
    hide();
    if (testAttribute(Qt::WA_DeleteOnClose)) {
        deleteLater();
    }
}

QWidget* CDialog::GetDlgItem(int nId) const {
    auto it = m_controls.find(nId);
    return it == m_controls.end() ? nullptr : it->second;
}

std::string CDialog::GetDlgItemText(int nId) const {
    QWidget* pControl = GetDlgItem(nId);
    return pControl ? CDialogBuilder::Text(pControl).toStdString() : std::string();
}

bool CDialog::SetDlgItemText(int nId, const std::string& strText) {
    QWidget* pControl = GetDlgItem(nId);
    return pControl && CDialogBuilder::SetText(pControl, QString::fromStdString(strText));
}

bool CDialog::EnableDlgItem(int nId, bool bEnable) {
    QWidget* pControl = GetDlgItem(nId);
    if (!pControl) {
        return false;
    }
    pControl->setEnabled(bEnable);
    return true;
}

bool CDialog::ShowDlgItem(int nId, bool bShow) {
    QWidget* pControl = GetDlgItem(nId);
    if (!pControl) {
        return false;
    }
    pControl->setVisible(bShow);
    return true;
}

bool CDialog::SubclassDlgItem(int nId, QWidget* pControl) {
    QWidget* pOld = GetDlgItem(nId);
    if (!pOld || !pControl || pOld == pControl) {
        return false;
    }
    pControl->setParent(this);
    pControl->setGeometry(pOld->geometry());
    pControl->setEnabled(pOld->isEnabled());
    pControl->setProperty(CDialogBuilder::kIdProperty, nId);
    pControl->setStyle(pOld->style());
    pControl->stackUnder(pOld);
    pControl->setVisible(!pOld->isHidden());
    setTabOrder(pOld, pControl);
    m_controls[nId] = pControl;
    delete pOld;
    m_pCommands->Attach(nId, pControl);
    return true;
}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx([this](int nId) { return GetDlgItem(nId); }, bSaveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

bool CDialog::OwnerDockCorner(QPoint& corner) const {
    const QWidget* pOwner = parentWidget();
    if (!pOwner) {
        return false;
    }
    corner = pOwner->frameGeometry().topRight() + QPoint(1, 0);
    return true;
}

void CDialog::DockToOwner() {
    QPoint corner;
    if (!OwnerDockCorner(corner)) {
        return;
    }
    setAttribute(Qt::WA_ShowWithoutActivating);
    move(corner);
    raise();
}

void CDialog::SnapToOwner() {
    QPoint corner;
    if (!IsWindow() || !OwnerDockCorner(corner)) {
        return;
    }
    const QPoint delta = corner - frameGeometry().topLeft();
    if (delta.isNull() || std::abs(delta.x()) > kSnapDistance ||
        std::abs(delta.y()) > kSnapDistance) {
        return;
    }
    DockToOwner();
}

// A modal dialog keeps the keyboard until it ends; the windows it owns
// (the radio's tool windows) stay in reach.
bool CDialog::FocusNextWindow() {
    const auto reachable = [](const QWidget* pWindow) {
        const QWidget* pModal = QApplication::activeModalWidget();
        for (const QWidget* pOwner = pWindow; pModal && pOwner; pOwner = pOwner->parentWidget()) {
            if (pOwner == pModal) {
                return true;
            }
        }
        return !pModal;
    };
    if (!reachable(this)) {
        return false;
    }
    QWidget* pTarget = nullptr;
    if (parentWidget() && isWindow()) {
        pTarget = parentWidget()->window();
    } else {
        for (CDialog* pTool : findChildren<CDialog*>(Qt::FindDirectChildrenOnly)) {
            if (pTool->isWindow() && pTool->isVisible() && pTool->IsWindow() && !pTool->isModal()) {
                pTarget = pTool;
                break;
            }
        }
    }
    if (!pTarget || !pTarget->isVisible() || !reachable(pTarget)) {
        return false;
    }
    pTarget->raise();
    pTarget->activateWindow();
    if (pTarget->focusWidget()) {
        pTarget->focusWidget()->setFocus(Qt::ActiveWindowFocusReason);
        return true;
    }
    for (QWidget* pNext = pTarget->nextInFocusChain(); pNext && pNext != pTarget;
         pNext = pNext->nextInFocusChain()) {
        if (pNext->window() == pTarget && pNext->isVisibleTo(pTarget) && pNext->isEnabled() &&
            (pNext->focusPolicy() & Qt::TabFocus)) {
            pNext->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    return true;
}

void CDialog::CloseMessageTarget() {
    m_pTarget->Close();
}

CMessageTarget& CDialog::MessageTarget() {
    return *m_pTarget;
}

void CDialog::OnMessage(uint32_t message, MessageHandler handler) {
    m_messageHandlers[message] = std::move(handler);
}

void CDialog::SetTimer(int nId, int nPeriodMs) {
    m_pTimers->Set(nId, nPeriodMs);
}

bool CDialog::KillTimer(int nId) {
    return m_pTimers->Kill(nId);
}

void CDialog::accept() {
    m_pCommands->Dispatch(IDOK, CCommandMap::Clicked);
}

void CDialog::reject() {
    m_pCommands->Dispatch(IDCANCEL, CCommandMap::Clicked);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange&) {}

void CDialog::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnClose() {
    m_pCommands->Dispatch(IDCANCEL, CCommandMap::Clicked);
}

void CDialog::OnTimer(int) {}

intptr_t CDialog::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto it = m_messageHandlers.find(message);
    if (it == m_messageHandlers.end()) {
        return 0;
    }
    // A copy: the handler may register handlers again.
    MessageHandler handler = it->second;
    return handler(wParam, lParam);
}

void CDialog::closeEvent(QCloseEvent* pEvent) {
    // The dialog decides in OnClose() whether and how it goes.
    pEvent->ignore();
    OnClose();
}

bool CDialog::HasDefaultButton() const {
    for (const QPushButton* pButton : findChildren<QPushButton*>()) {
        if (pButton->isDefault() && pButton->isVisible()) {
            return true;
        }
    }
    return false;
}

void CDialog::keyPressEvent(QKeyEvent* pEvent) {
    const Qt::KeyboardModifiers modifiers =
        pEvent->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (pEvent->key() == Qt::Key_F6 && modifiers == Qt::NoModifier && FocusNextWindow()) {
        return;
    }
    const bool bEnter = pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter;
    if (bEnter && (pEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        !HasDefaultButton()) {
        // Enter is the OK command even without an OK button, unless the
        // dialog said otherwise.
        if (m_bEnterIsOk) {
            m_pCommands->Dispatch(IDOK, CCommandMap::Clicked);
        }
        return;
    }
    QDialog::keyPressEvent(pEvent);
}
