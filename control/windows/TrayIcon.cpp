#include "control/windows/TrayIcon.h"

#include <QIcon>

#include "control/ControlBus.h"
#include "control/ControlTarget.h"
#include "core/RadioCore.h"
#include "presets/PresetSets.h"
#include "presets/PresetStore.h"

namespace {

QString Text(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

// The menu's and the tooltip's texts, in the language of the window.
constexpr const char* kNoReceiver = "MESSAGE_29";
constexpr const char* kPresets = "MESSAGE_63";
constexpr const char* kStartRecording = "MESSAGE_64";
constexpr const char* kStopRecording = "MESSAGE_65";
constexpr const char* kShowWindow = "MESSAGE_66";
constexpr const char* kHideWindow = "MESSAGE_67";
constexpr const char* kQuit = "MESSAGE_68";
constexpr const char* kMuted = "MESSAGE_69";
constexpr const char* kRecordingTo = "MESSAGE_70";

}  // namespace

bool CTrayIcon::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

CTrayIcon::CTrayIcon(CControlBus& remote, SWindow window, QObject* pParent)
    : QObject(pParent), m_remote(remote), m_window(std::move(window)) {
    m_pPresets = m_menu.addMenu(QString());
    m_pRecord = m_menu.addAction(QString(), this, [this] { ToggleRecording(); });
    m_pWindow = m_menu.addAction(QString(), this, [this] { ToggleWindow(); });
    // After the items the keyboard reaches first, which stay where they were.
    m_pSets = m_menu.addMenu(QString());
    m_menu.addSeparator();
    m_pQuit = m_menu.addAction(QString(), this, [this] {
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

QString CTrayIcon::Message(const char* pKey) const {
    return Text(m_remote.Target().Core().Message(pKey));
}

QString CTrayIcon::ToolTipText(const SRadioState& state) const {
    QString strTip = QStringLiteral("Kestrel Radio\n");
    if (!state.bPresent) {
        return strTip + Message(kNoReceiver);
    }
    strTip += Text(state.strChannelText);
    if (state.DisplayTitle() != state.strChannelText) {
        strTip += QStringLiteral("  ") + Text(state.DisplayTitle());
    }
    if (!state.strRadioText.empty()) {
        strTip += QStringLiteral("\n") + Text(state.strRadioText);
    }
    if (state.bMuted) {
        strTip += QStringLiteral(" (") + Message(kMuted) + QStringLiteral(")");
    }
    if (state.bRecording) {
        strTip +=
            QStringLiteral("\n") +
            Message(kRecordingTo).replace(QStringLiteral("{file}"), Text(state.strRecordFile));
    }
    return strTip;
}

void CTrayIcon::Refresh() {
    Update(m_remote.Current());
    FillPresets();
    FillSets();
}

void CTrayIcon::Update(const SRadioState& state) {
    m_icon.setToolTip(ToolTipText(state));
    m_pPresets->setTitle(Message(kPresets));
    m_pQuit->setText(Message(kQuit));
    m_pRecord->setText(Message(state.bRecording ? kStopRecording : kStartRecording));
    m_pRecord->setEnabled(state.bPresent || state.bRecording);
    m_pPresets->setEnabled(state.bPresent && state.bHasPresets);
    const bool bShown = m_window.isShown && m_window.isShown();
    m_pWindow->setText(Message(bShown ? kHideWindow : kShowWindow));
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
            std::string strNote;
            m_remote.Controller().RecallPreset(n, strWhy, strNote);
            m_remote.Refresh();
        });
        pAction->setCheckable(true);
        pAction->setChecked(n == state.nSlot);
    }
}

// Every set, the current one checked; choosing one switches to it.
void CTrayIcon::FillSets() {
    m_pSets->clear();
    CRadioCore& core = m_remote.Target().Core();
    const std::string strTitle = core.GetText("BI_SET");
    m_pSets->setTitle(strTitle.empty() ? QStringLiteral("Preset set") : Text(strTitle));
    const CPresetSets sets(core.Profile());
    const std::string strCurrent = sets.Current();
    for (const std::string& strName : sets.Names()) {
        QAction* pAction = m_pSets->addAction(Text(strName), this, [this, strName] {
            std::string strWhy;
            CPresetSets(m_remote.Target().Core().Profile()).Switch(strName, strWhy);
            m_remote.Controller().PresetsChanged();
            m_remote.Refresh();
        });
        pAction->setCheckable(true);
        pAction->setChecked(strName == strCurrent);
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
