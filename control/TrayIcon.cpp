#include "control/TrayIcon.h"

#include <QIcon>

#include "app/RadioCore.h"
#include "control/ControlBus.h"
#include "control/ControlTarget.h"
#include "presets/PresetStore.h"

namespace {

QString Text(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

}  // namespace

bool CTrayIcon::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

CTrayIcon::CTrayIcon(CControlBus& remote, SWindow window, QObject* pParent)
    : QObject(pParent), m_remote(remote), m_window(std::move(window)) {
    m_pPresets = m_menu.addMenu(tr("Presets"));
    m_pRecord = m_menu.addAction(tr("Start recording"), this, [this] { ToggleRecording(); });
    m_pWindow = m_menu.addAction(tr("Hide the window"), this, [this] { ToggleWindow(); });
    m_menu.addSeparator();
    m_menu.addAction(tr("Quit"), this, [this] {
        if (m_window.quit) {
            m_window.quit();
        }
    });
    connect(&m_menu, &QMenu::aboutToShow, this, [this] { Refresh(); });
    connect(&m_remote, &CControlBus::StateChanged, this,
            [this](const SRadioState&, const SRadioState& now) { Update(now); });
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) {
                    ToggleWindow();
                }
            });
    m_icon.setIcon(QIcon(QStringLiteral(":/icons/128.svg")));
    m_icon.setContextMenu(&m_menu);
    Refresh();
}

CTrayIcon::~CTrayIcon() {
    m_icon.hide();
}

QString CTrayIcon::ToolTipText(const SRadioState& state) {
    QString strTip = QStringLiteral("Kestrel Radio\n");
    if (!state.bPresent) {
        return strTip + tr("The receiver is not plugged in");
    }
    strTip += Text(state.strChannelText);
    if (!state.strTitle.empty()) {
        strTip += QStringLiteral("  ") + Text(state.strTitle);
    }
    if (state.bMuted) {
        strTip += QStringLiteral(" (") + tr("muted") + QStringLiteral(")");
    }
    if (state.bRecording) {
        strTip += QStringLiteral("\n") + tr("Recording to %1").arg(Text(state.strRecordFile));
    }
    return strTip;
}

void CTrayIcon::Refresh() {
    Update(m_remote.Current());
    FillPresets();
}

void CTrayIcon::Update(const SRadioState& state) {
    m_icon.setToolTip(ToolTipText(state));
    m_pRecord->setText(state.bRecording ? tr("Stop recording") : tr("Start recording"));
    m_pRecord->setEnabled(state.bPresent || state.bRecording);
    m_pPresets->setEnabled(state.bPresent && state.bHasPresets);
    const bool bShown = m_window.isShown && m_window.isShown();
    m_pWindow->setText(bShown ? tr("Hide the window") : tr("Show the window"));
}

// Every filled slot of the band, the one playing checked.
void CTrayIcon::FillPresets() {
    m_pPresets->clear();
    const SRadioState& state = m_remote.Current();
    const CPresetStore presets(m_remote.Target().Core().Profile());
    for (int n = 0; n < CPresetStore::kSlots; ++n) {
        const CPresetStore::SSlot slot = presets.ReadSlot(state.nBand, n);
        if (slot.nValue == 0) {
            continue;
        }
        const unsigned f = CPresetStore::Frequency(slot.nValue);
        const QString strText = QStringLiteral("%1  %2").arg(n).arg(
            Text(CPresetStore::ChannelText(state.nBand, f, slot.strTitle)));
        QAction* pAction = m_pPresets->addAction(strText, this, [this, n] {
            std::string strWhy;
            m_remote.Controller().RecallPreset(n, strWhy);
            m_remote.Refresh();
        });
        pAction->setCheckable(true);
        pAction->setChecked(n == state.nSlot);
    }
}

void CTrayIcon::ToggleRecording() {
    if (m_remote.Current().bRecording) {
        m_remote.Controller().StopRecording();
    } else {
        // A start that fails has been reported by the recorder.
        std::string strWhy;
        m_remote.Controller().StartRecording(0, strWhy);
    }
    m_remote.Refresh();
}

void CTrayIcon::ToggleWindow() {
    if (!m_window.show) {
        return;
    }
    m_window.show(!(m_window.isShown && m_window.isShown()));
    Update(m_remote.Current());
}
