#pragma once

#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/RadioCore.h"
#include "core/Recorder.h"
#include "mixer/MixerLine.h"
#include "platform/names/KestrelNames.h"
#include "presets/KeypadPage.h"
#include "presets/PresetBanner.h"
#include "presets/PresetEntry.h"
#include "skin/Dialog.h"

class CQtTextSink;
class CSkinMeter;
class QMenu;
class QSlider;

// The main window (template 102, skin "MainWin"): it owns the radio core and
// turns clicks and keys into tuner, mixer and preset operations; it keeps the
// banner, the indicators and the recording button going on its own timers,
// starts scheduled recordings, follows the receiver's arrival and removal,
// and docks the tool windows to its right edge.
//
// UI thread only. The services and the profile must outlive the window.
class CRadioDlg : public CDialog, private CRecorder::CObserver {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 102;
    static constexpr const char* kTitle = KestrelNames::kWindowTitle;

    enum : int {
        IDC_STEP_DOWN = 1000,
        IDC_STEP_UP = 1001,
        IDC_SEEK_DOWN = 1002,
        IDC_SEEK_UP = 1003,
        IDC_RECORD = 1004,
        IDC_OPTIONS = 1005,
        IDC_PLAYER = 1006,
        IDC_SHORT_KEYS = 1007,
        IDC_KEY_0 = 1008,
        IDC_PAGE_NEXT = 1018,
        IDC_PAGE_PREVIOUS = 1019,
        IDC_PAGE = 1020,
        IDC_AM = 1021,
        IDC_FM = 1022,
        IDC_FREQUENCY = 1023,
        IDC_RECORD_LAMP = 1028,
        IDC_RECORD_TIME = 1029,
        IDC_VOLUME = 1030,
        IDC_MUTE = 1031,
        IDC_CHANNEL = 1032,
        IDC_SIGNAL = 1033,
        IDC_TASK_LIST = 1034,
        IDC_FINE_UP = 1035,
        IDC_FINE_DOWN = 1036,
        IDC_BAND = 1037,
        IDC_BANNER = 1038,
    };
    enum : int { TIMER_REPAINT = 1, TIMER_SEEK = 2, TIMER_RECORD = 20, TIMER_BANNER = 800 };
    static constexpr int kKeypadSlots = CKeypadPage::kKeys;

    // Makes the tool window of one of the four buttons, created and shown,
    // with the core at hand; null for a window this program does not have.
    using ToolWindowFactory = std::function<CDialog*(CRadioDlg& owner, int nButton)>;

    CRadioDlg(const SRadioServices& services, CProfile& profile, CSkinEngine* pSkin);
    ~CRadioDlg() override;

    // The close sequence, then the window goes.
    void DestroyWindow() override;
    void SetToolWindowFactory(ToolWindowFactory factory) {
        m_toolWindowFactory = std::move(factory);
    }

    // Demo mode's receiver switch: whether the simulated receiver is plugged
    // in, and plugging or unplugging it. The context menu offers it.
    struct SDemoReceiver {
        std::function<bool()> isPlugged;
        std::function<void(bool bPlug)> setPlugged;
        // The register image does not tell the AM plans apart.
        std::function<void(int nAmStepKHz)> setAmPlan;
    };
    void SetDemoReceiver(SDemoReceiver demo) { m_demoReceiver = std::move(demo); }
    // Where a tray keeps the radio, the close box only hides the window;
    // HideToTray() hides it so, with its tool windows, and ShowFromTray()
    // brings them back where they were (also from minimised).
    void SetCloseToTray(bool bCloseToTray) { m_bCloseToTray = bCloseToTray; }
    void HideToTray();
    void ShowFromTray();
    // Shown and not minimised.
    bool IsShown() const { return isVisible() && !isMinimized(); }
    // The items of the window's context menu.
    void FillContextMenu(QMenu& menu);

    // Tuning.
    void StepChannel(bool bUp);
    void FineStep(bool bUp);
    // A frequency of the current band, as a channel step lands.
    void TuneTo(unsigned nFrequency);
    void PresetSync();
    void Recall(const PresetEntry& entry);
    void RecallSlot(int nSlot);
    void ChangeBand();
    // Keypad.
    void RefreshKeypad();
    void ChangePage(int nDelta);
    // Volume and mute.
    void OnVolume();
    void OnMute();
    void OnMixerChange();
    // Status and events.
    void ScrollBanner();
    void RefreshIndicators();
    void ToggleRecording();
    void StartScheduledTask(int nTask);
    void CheckDevice();
    void OnReading();
    void LoadTooltips();
    // Tool windows.
    void ToggleToolWindow(int nButton);
    CDialog* ToolWindow(int nButton) const;
    void DockToolWindows();

    CRadioCore& Core() { return m_core; }
    const std::string& Banner() const { return m_banner.Text(); }
    void SetBanner(const std::string& strBanner) { m_banner.SetText(strBanner); }
    int PresetPage() const { return m_page.Page(); }
    const PresetEntry& KeypadEntry(int n) const { return m_keypad[static_cast<size_t>(n)]; }
    int Mute() const { return m_nMute; }
    int Recording() const { return m_recorder.IsRecording() ? 1 : 0; }
    CRecorder& Recorder() { return m_recorder; }

Q_SIGNALS:
    // A recording ended and has its catalogue row (the player reloads).
    void RecordingsChanged();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(int nId) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    void MapCommands();
    void MapMessages();
    // The accelerator table: the command of a key, 0 for none.
    static int AcceleratorCommand(int nKey);
    void PlaceIndicators();
    void ShowBand();
    void OnSeek(int nDirection);
    void OnRecordTimer();
    void ShowAbout();
    void CloseToolWindows(int nKeep);
    QPointer<CDialog>& ToolWindowSlot(int nButton);
    void EnableTuning(bool bEnable);
    void ShowNoReceiver();
    void HideToolWindows();
    // The recorder's news.
    void RecordingStarted() override;
    void RecordingStopped() override;
    void TaskTuned(const std::optional<PresetEntry>& entry) override;
    void MuteOutput() override;
    // A task's retention may have taken older recordings away.
    void TaskEnded(const STaskOutcome& outcome) override;
    void ShowPreset(const std::optional<PresetEntry>& entry);
    void MarkCurrentPreset();
    void SyncDemoPlan();

    CPresetBanner m_banner;
    CMixerLine m_masterMute;
    CMixerLine m_masterVolume;
    QPointer<CDialog> m_pPlayer;
    QPointer<CDialog> m_pOptions;
    QPointer<CDialog> m_pShortKeys;
    QPointer<CDialog> m_pTaskList;
    std::array<PresetEntry, kKeypadSlots> m_keypad;
    // Written from the seek worker; outlives the core, which joins it.
    std::unique_ptr<CQtTextSink> m_pFrequencyDisplay;
    CRadioCore m_core;
    CRecorder m_recorder;
    CKeypadPage m_page;
    CSkinMeter* m_pChannelMeter = nullptr;  // children of the window
    CSkinMeter* m_pSignalMeter = nullptr;
    CSkinMeter* m_pRecordMeter = nullptr;
    QSlider* m_pVolume = nullptr;
    int m_nMute = 0;
    ToolWindowFactory m_toolWindowFactory;
    SDemoReceiver m_demoReceiver;
    bool m_bClosed = false;
    bool m_bCloseToTray = false;
    // Where the window stood when it went to the tray.
    std::optional<QPoint> m_trayPosition;
};
