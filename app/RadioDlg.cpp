#include "app/RadioDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QSlider>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/ToolWindows.h"
#include "platform/clock/Clock.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/hid/DeviceNotices.h"
#include "platform/trace/Trace.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"
#include "record/windows/PlayDlg.h"
#include "schedule/ScheduleBridge.h"
#include "skin/CommandMap.h"
#include "skin/DataExchange.h"
#include "skin/QtTextSink.h"
#include "skin/SkinEngine.h"
#include "skin/SkinMeter.h"

namespace {

constexpr const char* kAboutItem = "Abut Kestrel(&A)...";
constexpr const char* kNoReceiver = "MESSAGE_29";
constexpr int kAboutTemplate = 100;

// The buttons that need the receiver, and the nine command buttons' tooltips.
constexpr int kTuningButtons[] = {
    CRadioDlg::IDC_STEP_DOWN, CRadioDlg::IDC_SEEK_UP, CRadioDlg::IDC_SEEK_DOWN,
    CRadioDlg::IDC_STEP_UP,   CRadioDlg::IDC_FINE_UP, CRadioDlg::IDC_FINE_DOWN,
    CRadioDlg::IDC_RECORD,    CRadioDlg::IDC_AM,      CRadioDlg::IDC_FM};
// The nine command buttons' tooltips, then those of the buttons that show
// only a picture, so that a screen reader can name every button.
constexpr std::pair<int, const char*> kTooltips[] = {
    {CRadioDlg::IDC_STEP_DOWN, "TIP_P_PERV"},
    {CRadioDlg::IDC_STEP_UP, "TIP_P_NEXT"},
    {CRadioDlg::IDC_SEEK_DOWN, "TIP_SPERV"},
    {CRadioDlg::IDC_SEEK_UP, "TIP_SNEXT"},
    {CRadioDlg::IDC_RECORD, "TIP_RECORD"},
    {CRadioDlg::IDC_OPTIONS, "TIP_SETTING"},
    {CRadioDlg::IDC_PLAYER, "TIP_MUSIC"},
    {CRadioDlg::IDC_SHORT_KEYS, "TIP_KEYSET"},
    {CRadioDlg::IDC_TASK_LIST, "TIP_TASK"},
    {CRadioDlg::IDC_PAGE_NEXT, "TIP_PAGE_NEXT"},
    {CRadioDlg::IDC_PAGE_PREVIOUS, "TIP_PAGE_PREV"},
    {CRadioDlg::IDC_MUTE, "TIP_MUTE"},
    {CRadioDlg::IDC_FINE_UP, "TIP_FINE_UP"},
    {CRadioDlg::IDC_FINE_DOWN, "TIP_FINE_DOWN"},
};

struct SIndicator {
    int nControl;
    const char* pRect;
    const char* pImages;
};
constexpr SIndicator kIndicators[] = {
    {CRadioDlg::IDC_SIGNAL, "AntRect", "Singer"},
    {CRadioDlg::IDC_CHANNEL, "ChannelRect", "Speack"},
    {CRadioDlg::IDC_RECORD_LAMP, "RecoRect", "RecoMovie"},
};

}  // namespace

CRadioDlg::CRadioDlg(const SRadioServices& services, CProfile& profile, CSkinEngine* pSkin)
    : CDialog(kTemplateId, pSkin),
      m_masterMute(services.mixer),
      m_masterVolume(services.mixer),
      m_core(services, profile),
      m_recorder(m_core, *this) {
    // A main window, not a dialog: it can be minimised (the tool windows hide with it).
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_toolWindowFactory = &CreateToolWindow;
    MapCommands();
    MapMessages();
}

// The worker of a seek may be waiting in its WM_SEEK_FOUND send: release it
// before the core joins it.
CRadioDlg::~CRadioDlg() {
    CloseMessageTarget();
    m_core.Services().deviceNotices.Stop();
}

void CRadioDlg::MapCommands() {
    CCommandMap& commands = Commands();
    const auto on = [&](int nId, auto handler) { commands.On(nId, CCommandMap::Clicked, handler); };
    on(IDC_STEP_DOWN, [this] { StepChannel(false); });
    on(IDC_STEP_UP, [this] { StepChannel(true); });
    on(IDC_SEEK_DOWN, [this] { OnSeek(CReceiver::SEEK_DOWN); });
    on(IDC_SEEK_UP, [this] { OnSeek(CReceiver::SEEK_UP); });
    on(IDC_RECORD, [this] { ToggleRecording(); });
    for (int nButton : {IDC_OPTIONS, IDC_PLAYER, IDC_SHORT_KEYS, IDC_TASK_LIST}) {
        on(nButton, [this, nButton] { ToggleToolWindow(nButton); });
    }
    for (int n = 0; n < kKeypadSlots; ++n) {
        on(IDC_KEY_0 + n, [this, n] { RecallSlot(n); });
    }
    on(IDC_PAGE_NEXT, [this] { ChangePage(1); });
    on(IDC_PAGE_PREVIOUS, [this] { ChangePage(-1); });
    on(IDC_AM, [this] { ChangeBand(); });
    on(IDC_FM, [this] { ChangeBand(); });
    on(IDC_MUTE, [this] { OnMute(); });
    on(IDC_FINE_UP, [this] { FineStep(true); });
    on(IDC_FINE_DOWN, [this] { FineStep(false); });
    commands.On(IDC_VOLUME, CCommandMap::ReleasedCapture, [this] { OnVolume(); });
}

void CRadioDlg::MapMessages() {
    // Every message here is answered with 0; only WM_START_TASK reads wParam.
    const auto on = [this](uint32_t message, std::function<void(uintptr_t)> handler) {
        OnMessage(message, [handler = std::move(handler)](uintptr_t wParam, intptr_t) {
            handler(wParam);
            return intptr_t{0};
        });
    };
    on(WM_SEEK_FOUND, [this](uintptr_t) { PresetSync(); });
    on(WM_PRESETS_CHANGED, [this](uintptr_t) {
        RefreshKeypad();
        m_core.NotifyChanged();  // a title the outside shows may have changed
    });
    // Sent after the options' OK, which may also have changed the band plan.
    on(WM_LANGUAGE_CHANGED, [this](uintptr_t) {
        LoadTooltips();
        SyncDemoPlan();
    });
    on(WM_START_TASK, [this](uintptr_t wParam) { StartScheduledTask(static_cast<int>(wParam)); });
    on(MM_MIXM_CONTROL_CHANGE, [this](uintptr_t) { OnMixerChange(); });
    on(WM_DEVICECHANGE, [this](uintptr_t) { CheckDevice(); });
    on(WM_DEVICE_REPORT, [this](uintptr_t wParam) {
        if (wParam == DEVICE_REPORT_READING) {
            OnReading();
        }
    });
    on(WM_GRAPH_NOTIFY, [this](uintptr_t) { m_recorder.OnGraphNotify(); });
}

bool CRadioDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, "MainWin");
    }
    setWindowIcon(QIcon(":/icons/128.svg"));
    setWindowTitle(kTitle);

    m_masterMute.SelectLine(&MessageTarget(), 1, "");
    m_masterVolume.SelectLine(&MessageTarget(), 0, "");
    m_pVolume = GetDlgItemAs<QSlider>(IDC_VOLUME);
    if (m_pVolume) {
        m_pVolume->setRange(0, 0xFFFF);
        // A click beside the handle moves a step one can hear; a notch of the
        // wheel (three single steps) one of 5%.
        m_pVolume->setPageStep(0x10000 / 10);
        m_pVolume->setSingleStep(0x10000 / 60);
        // The wheel moves the slider without the mouse release that sets the
        // volume after a drag; the value changes after the action.
        connect(m_pVolume, &QAbstractSlider::actionTriggered, this, [this] {
            if (!m_pVolume->isSliderDown()) {
                QMetaObject::invokeMethod(
                    this, [this] { OnVolume(); }, Qt::QueuedConnection);
            }
        });
    }
    OnMixerChange();
    m_banner.SetText(CPresetBanner::kStart);
    // The accelerator table sees every key of this window before its controls.
    qApp->installEventFilter(this);

    m_core.Init(&MessageTarget());
    if (QWidget* pDisplay = GetDlgItem(IDC_FREQUENCY)) {
        m_pFrequencyDisplay = std::make_unique<CQtTextSink>(pDisplay);
        m_core.SetFrequencyDisplay(m_pFrequencyDisplay.get());
    }
    m_core.Services().deviceNotices.Start(&MessageTarget());
    CheckDevice();

    m_core.OpenRadio();
    ShowBand();
    SyncDemoPlan();
    if (m_core.DevicePresent()) {
        PresetSync();
    } else {
        ShowNoReceiver();
    }

    SetTimer(TIMER_REPAINT, 50);
    RefreshKeypad();
    PlaceIndicators();
    if (m_core.Scheduled()) {
        StartScheduledTask(m_core.TaskNumber());
    }
    LoadTooltips();
    return true;
}

void CRadioDlg::DoDataExchange(CDataExchange& dx) {
    dx.Check(IDC_MUTE, m_nMute);
}

void CRadioDlg::OnOK() {}  // Enter does not close the radio

void CRadioDlg::OnCancel() {
    if (m_bCloseToTray && !m_bClosed) {
        HideToTray();
        return;
    }
    DestroyWindow();
}

// The tool windows are windows of their own: hidden with this one, they come
// back with it. The frame's position is kept, since a window manager maps a
// window it shows again by its client area's.
void CRadioDlg::HideToTray() {
    if (isVisible()) {
        m_trayPosition = pos();
    }
    HideToolWindows();
    hide();
}

void CRadioDlg::ShowFromTray() {
    if (m_trayPosition && !isVisible()) {
        move(*m_trayPosition);
    }
    showNormal();
    raise();
    activateWindow();
    DockToolWindows();
}

void CRadioDlg::DestroyWindow() {
    if (m_bClosed) {
        return;
    }
    m_bClosed = true;
    // A recording left running would end as a file without its header sizes
    // and without a catalogue row.
    m_recorder.Stop(CRecorder::kStoppedByClosing);
    m_core.MuteReceiver(1);
    CloseToolWindows(0);
    m_core.MuteInput();
    m_core.MuteReceiver(1);
    m_core.Services().deviceNotices.Stop();
    KillTimer(TIMER_BANNER);
    KillTimer(TIMER_RECORD);
    KillTimer(TIMER_SEEK);
    CDialog::DestroyWindow();
}

// Tuning ----------------------------------------------------------------------

void CRadioDlg::StepChannel(bool bUp) {
    ShowPreset(m_core.StepChannel(bUp));
}

void CRadioDlg::FineStep(bool bUp) {
    ShowPreset(m_core.FineStep(bUp));
}

void CRadioDlg::TuneTo(unsigned nFrequency) {
    ShowPreset(m_core.TuneTo(nFrequency));
}

void CRadioDlg::PresetSync() {
    ShowPreset(m_core.SyncPreset());
}

// The banner and indicators of the preset just tuned, or of none.
void CRadioDlg::ShowPreset(const std::optional<PresetEntry>& entry) {
    m_banner.ShowPreset(entry);
    MarkCurrentPreset();
    if (entry) {
        RefreshIndicators();
    }
}

// The key of the slot that holds the frequency playing shows itself on; a
// click's own toggle is undone here, since the recall that follows marks.
void CRadioDlg::MarkCurrentPreset() {
    const int nCurrent =
        CPresetStore(m_core.Profile()).FindSlot(m_core.Band(), m_core.CurrentFrequency());
    for (int i = 0; i < kKeypadSlots; ++i) {
        auto* pKey = GetDlgItemAs<QAbstractButton>(IDC_KEY_0 + i);
        if (!pKey) {
            continue;
        }
        pKey->setCheckable(true);
        pKey->setChecked(m_core.DevicePresent() && m_page.Slot(i) == nCurrent);
    }
}

void CRadioDlg::Recall(const PresetEntry& entry) {
    m_core.Recall(entry);
    ShowPreset(entry);
}

void CRadioDlg::RecallSlot(int nSlot) {
    Recall(m_keypad[static_cast<size_t>(nSlot)]);
}

void CRadioDlg::ShowBand() {
    const bool bFm = m_core.Band() == CReceiver::BAND_FM;
    if (auto* pButton = GetDlgItemAs<QAbstractButton>(bFm ? IDC_FM : IDC_AM)) {
        pButton->setChecked(true);
    }
    SetDlgItemText(IDC_BAND, bFm ? "FM" : "AM");
}

void CRadioDlg::ChangeBand() {
    const auto* pAm = GetDlgItemAs<QAbstractButton>(IDC_AM);
    const int nBand = pAm && pAm->isChecked() ? CReceiver::BAND_AM : CReceiver::BAND_FM;
    if (nBand == m_core.Band()) {
        return;
    }
    const std::optional<PresetEntry> entry = m_core.SelectBand(nBand);
    ShowBand();
    ShowPreset(entry);
    RefreshKeypad();
}

void CRadioDlg::OnSeek(int nDirection) {
    m_core.StartSeek(nDirection);
    SetTimer(TIMER_SEEK, 500);
}

// Keypad ----------------------------------------------------------------------

void CRadioDlg::RefreshKeypad() {
    CPresetStore presets(m_core.Profile());
    const int nBand = m_core.Band();
    for (int i = 0; i < kKeypadSlots; ++i) {
        const int nSlot = m_page.Slot(i);
        const CPresetStore::SSlot slot = presets.ReadSlot(nBand, nSlot);
        PresetEntry& entry = m_keypad[static_cast<size_t>(i)];
        entry.nFrequency = CPresetStore::Frequency(slot.nValue);
        entry.nChannelFlag = CPresetStore::ChannelFlag(slot.nValue);
        entry.strTitle = slot.strTitle;
        QWidget* pButton = GetDlgItem(IDC_KEY_0 + i);
        if (!pButton) {
            continue;
        }
        if (slot.nValue != 0) {
            pButton->setToolTip(QString::fromStdString(
                CPresetStore::TooltipText(nBand, entry.nFrequency, entry.strTitle)));
        }
        pButton->setEnabled(slot.nValue != 0 && m_core.DevicePresent());
        SetDlgItemText(IDC_KEY_0 + i, m_page.Caption(i));
    }
    MarkCurrentPreset();
}

void CRadioDlg::ChangePage(int nDelta) {
    m_page.Turn(nDelta);
    SetDlgItemText(IDC_PAGE, m_page.PageText());
    RefreshKeypad();
}

// Volume and mute -------------------------------------------------------------

void CRadioDlg::OnVolume() {
    if (m_pVolume) {
        m_masterVolume.SetVolume(m_pVolume->value());
    }
}

void CRadioDlg::OnMute() {
    m_nMute = m_nMute ? 0 : 1;
    UpdateData(false);
    if (m_core.Services().bVista) {
        m_core.MuteReceiver(m_nMute);
    } else {
        m_masterMute.SetMute(m_nMute);
    }
}

void CRadioDlg::OnMixerChange() {
    if (m_pVolume) {
        m_pVolume->setValue(static_cast<int>(m_masterVolume.GetVolume()));
        m_pVolume->update();
    }
    m_nMute = m_masterMute.GetValue() ? 1 : 0;
    UpdateData(false);
}

// Status and events -----------------------------------------------------------

void CRadioDlg::OnTimer(int nId) {
    switch (nId) {
        case TIMER_REPAINT:
            update();
            KillTimer(TIMER_REPAINT);
            break;
        case TIMER_SEEK:
            if (!m_core.IsSeeking()) {
                RefreshIndicators();
                KillTimer(TIMER_SEEK);
            }
            break;
        case TIMER_RECORD:
            OnRecordTimer();
            break;
        case TIMER_BANNER:
            ScrollBanner();
            break;
        default:
            break;
    }
}

void CRadioDlg::ScrollBanner() {
    SetTimer(TIMER_BANNER, m_banner.Scroll());
    if (!m_banner.Text().empty()) {
        SetDlgItemText(IDC_BANNER, m_banner.Text());
    }
}

// The receiver reads something new of the station: the meters, the banner
// where the preset has no title, and the outside.
void CRadioDlg::OnReading() {
    if (!m_core.DevicePresent()) {
        return;
    }
    RefreshIndicators();
    const SReceiverReading reading = m_core.Reading();
    if (m_core.PresetTitle().empty()) {
        std::string strStation = reading.strProblem;
        if (strStation.empty() && !reading.strStation.empty()) {
            strStation = reading.strStation +
                         (reading.strRadioText.empty() ? "" : "  " + reading.strRadioText);
        }
        if (m_banner.ShowStation(strStation)) {
            SetDlgItemText(IDC_BANNER, m_banner.Text());
        }
    }
    m_core.NotifyChanged();
}

void CRadioDlg::RefreshIndicators() {
    const SReceiverReading reading = m_core.Reading();
    if (m_pSignalMeter) {
        m_pSignalMeter->SetValue(reading.nSignal);
    }
    if (m_pChannelMeter) {
        m_pChannelMeter->SetValue(reading.nChannelFlag ? 50 : 100);
    }
}

void CRadioDlg::PlaceIndicators() {
    CSkinEngine* pEngine = SkinEngine();
    if (!pEngine) {
        return;  // unskinned: the statics stay as the template has them
    }
    CSkinMeter** meters[] = {&m_pSignalMeter, &m_pChannelMeter, &m_pRecordMeter};
    for (size_t n = 0; n < std::size(kIndicators); ++n) {
        const SIndicator& indicator = kIndicators[n];
        auto pOwned = std::make_unique<CSkinMeter>(*pEngine);
        if (!SubclassDlgItem(indicator.nControl, pOwned.get())) {
            continue;
        }
        CSkinMeter* pMeter = pOwned.release();  // the window's child now
        *meters[n] = pMeter;
        pMeter->SetSkinName(indicator.pImages);
        pMeter->SetVertical(0);
        SSkinRect rect;
        HSKINOBJECT hObject = pEngine->FindObject(indicator.pRect);
        if (pEngine->GetObjectRect(hObject, rect)) {
            pMeter->setGeometry(rect.left, rect.top, rect.right - rect.left,
                                rect.bottom - rect.top);
        }
        pEngine->ReleaseObject(hObject);
        pMeter->SetValue(0);
    }
}

void CRadioDlg::ToggleRecording() {
    if (m_recorder.IsRecording()) {
        m_recorder.Stop();
        return;
    }
    // The player mutes the receiver while it plays; its Stop lets the
    // recording hear it again.
    if (auto* pPlayer = qobject_cast<CPlayDlg*>(m_pPlayer.data()); pPlayer && pPlayer->IsWindow()) {
        pPlayer->OnStop();
    }
    m_recorder.Start();
}

void CRadioDlg::RecordingStarted() {
    ShowDlgItem(IDC_RECORD_LAMP, true);
    if (m_pRecordMeter) {
        m_pRecordMeter->SetValue(100);
    }
    SetDlgItemText(IDC_RECORD_TIME, "00:00:00");
    SetTimer(TIMER_RECORD, 600);
}

void CRadioDlg::RecordingStopped() {
    ShowDlgItem(IDC_RECORD_LAMP, false);
    KillTimer(TIMER_RECORD);
    SetDlgItemText(IDC_RECORD_TIME, "");
    EnableDlgItem(IDC_RECORD, m_core.DevicePresent() != 0);
    UpdateData(false);
    Q_EMIT RecordingsChanged();
}

void CRadioDlg::TaskEnded(const STaskOutcome& /*outcome*/) {
    Q_EMIT RecordingsChanged();
}

void CRadioDlg::TaskTuned(const std::optional<PresetEntry>& entry) {
    ShowBand();
    ShowPreset(entry);
    RefreshKeypad();
    RefreshIndicators();
}

void CRadioDlg::MuteOutput() {
    m_nMute = 1;
    UpdateData(false);
    m_masterMute.SetMute(1);
}

void CRadioDlg::OnRecordTimer() {
    if (m_pRecordMeter && m_pRecordMeter->GetValue() == 100) {
        m_pRecordMeter->SetValue(0);
    } else {
        if (m_pRecordMeter) {
            m_pRecordMeter->SetValue(100);
        }
        const std::time_t now = m_core.Services().clock.Now();
        SetDlgItemText(IDC_RECORD_TIME, CFileListSet::FormatDuration(now - m_core.RecordStart()));
    }
    m_recorder.Tick();
}

void CRadioDlg::StartScheduledTask(int nTask) {
    m_recorder.StartTask(nTask);
}

void CRadioDlg::EnableTuning(bool bEnable) {
    for (int nId : kTuningButtons) {
        EnableDlgItem(nId, bEnable || (nId == IDC_RECORD && m_recorder.IsRecording()));
    }
}

void CRadioDlg::CheckDevice() {
    const int nBefore = m_core.DevicePresent();
    const int nNow = m_core.CheckDevice();
    if (!nBefore && nNow) {
        // The receiver takes a moment after it appears before it tunes.
        m_core.Services().clock.Sleep(std::chrono::seconds(1));
        PresetSync();
    }
    m_recorder.OnDeviceChange(nNow != 0);
    EnableTuning(nNow != 0);
    if (nNow) {
        m_core.SelectInputMute();
        SetTimer(TIMER_BANNER, 200);
    } else {
        m_core.MuteInput();
        KillTimer(TIMER_BANNER);
        ShowNoReceiver();
    }
    RefreshKeypad();
}

// Nothing is tuned without the receiver, but the display shows the frequency
// it will tune, and the banner and lamps no station.
void CRadioDlg::ShowNoReceiver() {
    if (m_pFrequencyDisplay) {
        m_pFrequencyDisplay->SetText(m_core.DisplayText(m_core.CurrentFrequency()));
    }
    const std::string strRefusal = m_core.ReceiverRefusal();
    SetDlgItemText(IDC_BANNER,
                   m_core.Message(kNoReceiver) + (strRefusal.empty() ? "" : "  " + strRefusal));
    for (CSkinMeter* pMeter : {m_pSignalMeter, m_pChannelMeter}) {
        if (pMeter) {
            pMeter->SetValue(0);
        }
    }
}

void CRadioDlg::LoadTooltips() {
    for (const auto& [nId, pKey] : kTooltips) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            pControl->setToolTip(QString::fromStdString(m_core.GetText(pKey)));
        }
    }
}

// Keys ------------------------------------------------------------------------

int CRadioDlg::AcceleratorCommand(int nKey) {
    if (nKey >= Qt::Key_0 && nKey <= Qt::Key_9) {
        return IDC_KEY_0 + (nKey - Qt::Key_0);
    }
    switch (nKey) {
        case Qt::Key_Up:
            return IDC_STEP_DOWN;
        case Qt::Key_Down:
            return IDC_STEP_UP;
        case Qt::Key_Left:
            return IDC_SEEK_DOWN;
        case Qt::Key_Right:
            return IDC_SEEK_UP;
        case Qt::Key_PageUp:
            return IDC_PAGE_NEXT;
        case Qt::Key_PageDown:
            return IDC_PAGE_PREVIOUS;
        default:
            return 0;
    }
}

// Only keys of this window: a digit typed into a tool window's edit box is
// text, not a preset. A key whose button is disabled does nothing, so that an
// empty slot or a missing receiver is not tuned by keyboard.
bool CRadioDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() != QEvent::KeyPress || !pWatched->isWidgetType() ||
        static_cast<QWidget*>(pWatched)->window() != this) {
        return CDialog::eventFilter(pWatched, pEvent);
    }
    const auto* pKey = static_cast<QKeyEvent*>(pEvent);
    if (pKey->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return false;
    }
    if (const int nCommand = AcceleratorCommand(pKey->key())) {
        QWidget* pButton = GetDlgItem(nCommand);
        if (pButton && pButton->isEnabled()) {
            Commands().Dispatch(nCommand, CCommandMap::Clicked);
        }
        return true;
    }
    return pKey->key() == Qt::Key_Escape;  // Escape never closes the radio
}

// Tool windows ----------------------------------------------------------------

QPointer<CDialog>& CRadioDlg::ToolWindowSlot(int nButton) {
    switch (nButton) {
        case IDC_PLAYER:
            return m_pPlayer;
        case IDC_OPTIONS:
            return m_pOptions;
        case IDC_SHORT_KEYS:
            return m_pShortKeys;
        default:
            return m_pTaskList;
    }
}

CDialog* CRadioDlg::ToolWindow(int nButton) const {
    return const_cast<CRadioDlg*>(this)->ToolWindowSlot(nButton).data();
}

// Closes the tool windows other than nKeep's (all for 0), player first.
void CRadioDlg::CloseToolWindows(int nKeep) {
    for (int nButton : {IDC_PLAYER, IDC_SHORT_KEYS, IDC_OPTIONS, IDC_TASK_LIST}) {
        QPointer<CDialog>& pWindow = ToolWindowSlot(nButton);
        if (nButton == nKeep || !pWindow) {
            continue;
        }
        if (pWindow->IsWindow()) {
            pWindow->DestroyWindow();
        }
        pWindow->deleteLater();
        pWindow.clear();
    }
}

void CRadioDlg::ToggleToolWindow(int nButton) {
    CloseToolWindows(nButton);
    QPointer<CDialog>& pWindow = ToolWindowSlot(nButton);
    if (pWindow && pWindow->IsWindow()) {
        pWindow->DestroyWindow();
        pWindow->deleteLater();
        pWindow.clear();
        return;
    }
    if (nButton == IDC_PLAYER && SkinEngine()) {
        SkinEngine()->ClearDialogSkin();
    }
    pWindow = m_toolWindowFactory ? m_toolWindowFactory(*this, nButton) : nullptr;
    if (pWindow && nButton == IDC_PLAYER) {
        DockToolWindows();
    }
}

// Not while this window is hidden or minimised: they go and come with it.
void CRadioDlg::DockToolWindows() {
    if (!IsShown()) {
        return;
    }
    for (int nButton : {IDC_PLAYER, IDC_OPTIONS, IDC_SHORT_KEYS, IDC_TASK_LIST}) {
        CDialog* pWindow = ToolWindow(nButton);
        if (!pWindow || !pWindow->IsWindow()) {
            continue;
        }
        pWindow->DockToOwner();  // the tool windows are children of this one
        pWindow->show();
    }
}

void CRadioDlg::moveEvent(QMoveEvent* pEvent) {
    CDialog::moveEvent(pEvent);
    DockToolWindows();
}

void CRadioDlg::changeEvent(QEvent* pEvent) {
    CDialog::changeEvent(pEvent);
    if (pEvent->type() != QEvent::WindowStateChange) {
        return;
    }
    if (!isMinimized()) {
        DockToolWindows();
        return;
    }
    HideToolWindows();
}

void CRadioDlg::HideToolWindows() {
    for (int nButton : {IDC_PLAYER, IDC_OPTIONS, IDC_SHORT_KEYS, IDC_TASK_LIST}) {
        if (CDialog* pWindow = ToolWindow(nButton)) {
            pWindow->hide();
        }
    }
}

// There is no system menu to extend; the About item is in the window's
// context menu instead.
void CRadioDlg::contextMenuEvent(QContextMenuEvent* pEvent) {
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(pEvent->globalPos());
}

void CRadioDlg::SyncDemoPlan() {
    if (m_demoReceiver.setAmPlan) {
        m_demoReceiver.setAmPlan(static_cast<int>(m_core.Steps(CReceiver::BAND_AM).Spacing()));
    }
}

void CRadioDlg::FillContextMenu(QMenu& menu) {
    menu.addAction(QString::fromUtf8(kAboutItem), this, [this] { ShowAbout(); });
    if (!m_demoReceiver.isPlugged || !m_demoReceiver.setPlugged) {
        return;
    }
    // Demo mode only: shows what the radio does when its receiver comes and goes.
    const bool bPlugged = m_demoReceiver.isPlugged();
    menu.addSeparator();
    const std::string strText = m_core.Message(bPlugged ? "MESSAGE_71" : "MESSAGE_72");
    menu.addAction(QString::fromStdString(strText), this,
                   [this, bPlugged] { m_demoReceiver.setPlugged(!bPlugged); });
}

void CRadioDlg::ShowAbout() {
    CDialog about(kAboutTemplate, SkinEngine(), this);
    about.DoModal();
}
