#include "skin/SkinEngine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QWidget>

#include <algorithm>

#include "platform/trace/Trace.h"
#include "skin/DialogBuilder.h"
#include "skin/Skin.h"
#include "skin/SkinImage.h"
#include "skin/SkinResources.h"
#include "skin/SkinStyle.h"

namespace {

// Text roles whose disabled colour is the enabled one faded into the ground.
constexpr QPalette::ColorRole kTextRoles[][2] = {
    {QPalette::WindowText, QPalette::Window},
    {QPalette::Text, QPalette::Base},
    {QPalette::ButtonText, QPalette::Button},
};

QColor Mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(a.redF() * (1 - t) + b.redF() * t,
                            a.greenF() * (1 - t) + b.greenF() * t,
                            a.blueF() * (1 - t) + b.blueF() * t);
}

QPalette WindowPalette(const QPalette& base, const SSkinWindow& window) {
    QPalette palette = base;
    for (const auto& [role, color] : window.colors) {
        palette.setColor(QPalette::All, role, color);
    }
    for (const auto& roles : kTextRoles) {
        palette.setColor(QPalette::Disabled, roles[0],
                         Mix(palette.color(QPalette::Active, roles[0]),
                             palette.color(QPalette::Active, roles[1]), 0.55));
    }
    return palette;
}

// One control's own look beyond what the style draws: colour, font, alignment.
void ApplyLook(QWidget* pControl, const SSkinLook& look) {
    if (look.font) {
        pControl->setFont(*look.font);
    }
    if (auto* pLabel = qobject_cast<QLabel*>(pControl)) {
        if (look.color) {
            QPalette palette = pLabel->palette();
            palette.setColor(QPalette::All, QPalette::WindowText, *look.color);
            pLabel->setPalette(palette);
        }
        if (look.align) {
            pLabel->setAlignment(*look.align);
        }
    } else if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) {
        if (look.color) {
            QPalette palette = pEdit->palette();
            palette.setColor(QPalette::All, QPalette::Text, *look.color);
            pEdit->setPalette(palette);
        }
        if (look.align) {
            pEdit->setAlignment(*look.align);
        }
    }
}

}  // namespace

CSkinEngine::CSkinEngine() {
    KestrelInitSkinResources();
}

CSkinEngine::~CSkinEngine() = default;

bool CSkinEngine::Fail(const std::string& strError) {
    m_strLastError = strError;
    KestrelTrace("skin", "%s: %s", m_strAppName.empty() ? "skin" : m_strAppName.c_str(),
                 strError.c_str());
    return false;
}

bool CSkinEngine::Initialise(const std::string& strAppName) {
    m_strAppName = strAppName;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return Fail("the skin engine needs the application object");
    }
    if (!m_pStyle) {
        m_pStyle = std::make_unique<CSkinStyle>(*this);
    }
    return true;
}

bool CSkinEngine::LoadSkin(const std::string& strType, const std::string& strName) {
    if (!m_pStyle) {
        return Fail("LoadSkin before Initialise");
    }
    std::string strError;
    const QString strFolder =
        QString(":/%1/%2").arg(QString::fromStdString(strType), QString::fromStdString(strName));
    std::unique_ptr<CSkin> pSkin = CSkin::Load(strFolder, strError);
    if (!pSkin) {
        return Fail(strError);
    }
    m_pSkin = std::move(pSkin);
    m_bDialogSkinCleared = false;
    return true;
}

bool CSkinEngine::ApplySkin(QWidget* pWindow, const std::string& strSkinName) {
    if (!pWindow || !m_pSkin) {
        return Fail("no skin to apply \"" + strSkinName + "\" with");
    }
    const SSkinWindow* pLook = m_pSkin->Window(strSkinName);
    if (!pLook) {
        return Fail("the skin has no window \"" + strSkinName + "\"");
    }
    pWindow->setProperty(kSkinProperty, QString::fromStdString(strSkinName));
    pWindow->setStyle(m_pStyle.get());
    pWindow->setPalette(WindowPalette(m_pStyle->standardPalette(), *pLook));
    if (pLook->font) {
        pWindow->setFont(*pLook->font);
    }
    pWindow->installEventFilter(m_pStyle.get());
    for (QWidget* pChild : pWindow->findChildren<QWidget*>()) {
        if (pChild->isWindow()) {
            continue;
        }
        pChild->setStyle(m_pStyle.get());
        if (qobject_cast<QAbstractButton*>(pChild)) {
            pChild->setAttribute(Qt::WA_Hover);
        }
        bool bHasId = false;
        const int nId = pChild->property(CDialogBuilder::kIdProperty).toInt(&bHasId);
        if (bHasId) {
            ApplyLook(pChild, pLook->Look(nId));
        }
    }
    pWindow->update();
    return true;
}

void CSkinEngine::ClearDialogSkin() {
    m_bDialogSkinCleared = true;
}

void CSkinEngine::SkinNewDialog(QWidget* pDialog) {
    if (m_bDialogSkinCleared) {
        m_bDialogSkinCleared = false;
        return;
    }
    if (m_pSkin && !m_pSkin->DialogDefault().empty()) {
        ApplySkin(pDialog, m_pSkin->DialogDefault());
    }
}

HSKINOBJECT CSkinEngine::FindObject(const std::string& strName) {
    const CSkinObject* pObject = m_pSkin ? m_pSkin->Object(strName) : nullptr;
    if (pObject) {
        m_openHandles.emplace_back(pObject, m_pSkin);
    }
    return pObject;
}

void CSkinEngine::ReleaseObject(HSKINOBJECT hObject) {
    auto it = std::find_if(m_openHandles.begin(), m_openHandles.end(),
                           [hObject](const auto& open) { return open.first == hObject; });
    if (it == m_openHandles.end()) {
        KestrelTrace("skin", "release of a handle that is not open");
        return;
    }
    m_openHandles.erase(it);
}

bool CSkinEngine::DrawImage(HSKINOBJECT hObject, const std::string& strImage, QPainter& painter,
                            const QRect& rect) const {
    const CSkinImage* pImage = hObject ? hObject->Image(strImage) : nullptr;
    if (!pImage) {
        return false;
    }
    pImage->Draw(painter, rect);
    return true;
}

bool CSkinEngine::GetObjectRect(HSKINOBJECT hObject, SSkinRect& rect) const {
    if (!hObject || !hObject->Rect()) {
        return false;
    }
    rect = *hObject->Rect();
    return true;
}
