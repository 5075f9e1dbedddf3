#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include <memory>
#include <mutex>
#include <vector>

#include "core/RadioServices.h"
#include "mixer/MixerLine.h"
#include "platform/names/KestrelNames.h"
#include "platform/profile/Settings.h"
#include "platform/window/TextSink.h"
#include "presets/ChannelWord.h"
#include "presets/PresetEntry.h"
#include "receiver/BandScan.h"
#include "receiver/Receiver.h"
#include "record/AudioGraph.h"
#include "record/FileListSet.h"
#include "schedule/NewTask.h"
#include "schedule/TaskSet.h"
#include "settings/Language.h"
#include "settings/LanguageTexts.h"

class CMessageTarget;
class CProfile;

// The one object that owns the program's working parts: it opens them in
// order when the main window opens, follows the receiver's presence, tunes
// it, looks up window texts, chooses the capture input and starts and stops
// recordings.
//
// Every way in (the main window, the remote control, a run with no window,
// the recorder, the tool windows) tunes through the operations below; a seek
// still running is ended inside them. Whoever shows the radio listens for
// WM_RADIO_CHANGED, posted whenever what it shows changed.
//
// Everything here runs on the UI thread, but NotifyChanged(), which any
// thread may call. The services and the profile must outlive the core.
class CRadioCore {
public:
    static constexpr const char* kCaption = KestrelNames::kWindowTitle;

    CRadioCore(const SRadioServices& services, CProfile& profile);
    // Stops a running seek and joins its worker before any part goes. The
    // notify window must still answer WM_SEEK_FOUND (or have released its
    // waiting senders) when the core is destroyed.
    virtual ~CRadioCore();

    CRadioCore(const CRadioCore&) = delete;
    CRadioCore& operator=(const CRadioCore&) = delete;

    // The parts Init opens: all of them for a window or a recording; a
    // command for the radio opens only those it uses.
    enum EParts : unsigned { kTables = 1, kMedia = 2, kReceiver = 4, kAllParts = 7 };
    void Init(CMessageTarget* pMainWnd, unsigned nParts = kAllParts);
    // The band the profile names, and its plan: the radio as it was left,
    // not tuned yet.
    void OpenRadio();
    int CheckDevice();
    // Closes the receiver as an unplug would; the next CheckDevice() opens
    // the one the profile names.
    void CloseReceiver();
    // The receivers of the kind in use to choose among; empty for none.
    std::vector<SReceiverDevice> ReceiverDevices() { return m_pReceiver->Devices(); }

    // Tuning. Each ends a running seek first; those that tune end in the
    // preset sync and give the preset recalled, if any.
    std::optional<PresetEntry> SelectBand(int nBand);
    // Folded into the band, then the preset sync tunes it.
    std::optional<PresetEntry> TuneTo(unsigned nFrequency);
    std::optional<PresetEntry> StepChannel(bool bUp);
    std::optional<PresetEntry> FineStep(bool bUp);
    // A scheduled task's station: band, channel flag, then its frequency.
    std::optional<PresetEntry> TuneChannel(CChannelWord word);
    bool StartSeek(int nDirection);
    // The band scan; the callbacks come from its worker (CBandScan). Every
    // tuning here ends a running scan first, the station tuned then being
    // the listener's. StartScan() gives the scan's number (0: none started,
    // as while a recording runs, which a scan would retune);
    // FinishScan() of that number waits for it to end, tunes the station the
    // listener was on and gives what it found, nothing when another tune or
    // scan ended it first.
    // nBand: the band to scan (the current one when the receiver has not it).
    uint64_t StartScan(int nBand, CBandScan::FProgress onProgress, CBandScan::FEnd onEnd);
    void CancelScan(uint64_t nScan);
    std::vector<SScanStation> FinishScan(uint64_t nScan);
    bool IsScanning() const { return m_pScan && m_pScan->IsRunning(); }
    // How long a scan waits for a station's name.
    static constexpr std::chrono::milliseconds kScanNameWait{2000};
    // Mutes the receiver itself (not the sound card) and retunes.
    void MuteReceiver(int nMute);
    // The options changed the standard: the plan is read again and the
    // frequency retuned under it.
    void ApplyBandPlan();

    // What the receiver is tuned to.
    int Band() const;
    unsigned Frequency(int nBand) const;
    unsigned CurrentFrequency() const;
    int ChannelFlag() const;
    int ReceiverMute() const;
    bool IsSeeking() const;
    bool HasBand(int nBand) const;
    CTuningSteps Steps(int nBand) const;
    CTuningSteps Steps() const { return Steps(Band()); }
    SReceiverReading Reading() const;
    // "87.50MHz" or "1629KHz": the frequency display's text of a frequency of
    // the current band.
    std::string DisplayText(unsigned nFrequency) const;
    // The receiver's audio comes with it, not through a sound card input.
    bool BringsOwnAudio() const;
    // Where the frequency text goes; null for none.
    void SetFrequencyDisplay(CTextSink* pDisplay);
    // Waits for a seek's worker to end (before its window goes).
    void JoinSeek();

    // Listeners get WM_RADIO_CHANGED after a change of what the radio shows
    // (band, frequency, receiver, mute, recording, presets): sent by the
    // core's own operations, posted by NotifyChanged(). A listener must live
    // on the core's thread and stay until it is removed.
    void AddListener(CMessageTarget* pListener);
    void RemoveListener(CMessageTarget* pListener);
    void NotifyChanged();
    std::string GetText(const std::string& strKey) const;
    std::string LoadLanguageName() const;
    void SelectInputMute();
    void FindDefaultInput(std::string& strDeviceName, std::string& strPortName);
    bool HasMixerInput();
    bool StartRecording();
    // Seconds the current or last recording holds: the audio written when the
    // recorder had to end it, else the time since its start, or until its
    // stop once it stopped.
    std::int64_t RecordedSeconds() const;
    // The id of the data source the tables are in (what its work items carry);
    // empty when it cannot be read. Read once.
    const std::string& DataSourceId();
    // The language key of the message for the last start that failed.
    const std::string& StartFailureKey() const { return m_strStartFailure; }
    void StopRecording();

    // The folder recordings go to (SET/PATH, by default RadioRecord in the
    // home folder) and the name of a recording started at tStart.
    std::string RecordFolder() const;
    std::string RecordFileName(std::time_t tStart, bool bWav) const;
    std::string RecordFileName(std::time_t tStart, ERecordFormat eFormat) const;
    // The next recording's path: the options' name pattern over the station,
    // memo and start just taken.
    std::string PatternFileName(const std::string& strPattern, ERecordFormat eFormat) const;
    // "FM 100.90MHz" or "AM 1629KHz" for the tuner's band and frequency.
    std::string ChannelText() const;
    // The title of the preset that holds the tuner's frequency; empty for none.
    std::string PresetTitle() const;
    // What the station is called: the preset's title, else the name it sends
    // (RDS); empty when neither is known.
    std::string StationName() const;

    // Tunes a preset: the flag, then the frequency, a running seek ended
    // first so that it cannot step over them.
    void Recall(const PresetEntry& entry);
    // The preset sync's tuning: the slot of the current frequency recalled,
    // or the frequency retuned when no slot holds it. The slot's entry, if any.
    std::optional<PresetEntry> SyncPreset();

    // The working parts, for the windows and the recorder to use.
    const SRadioServices& Services() const { return m_services; }
    CProfile& Profile() const { return m_profile; }
    CSettings Settings() const { return CSettings(m_profile); }
    CTaskSet& TaskSet() { return m_taskSet; }
    CFileListSet& FileList() { return m_fileListSet; }
    CAudioGraph& AudioGraph() { return m_audioGraph; }
    const CAudioGraph& AudioGraph() const { return m_audioGraph; }
    const CLanguageTexts& Texts() const { return m_texts; }
    // The current directory when the core was made (empty when there was
    // none): where the language file was looked for first, and the folder a
    // scheduled start runs in.
    const std::string& StartFolder() const { return m_strStartFolder; }
    CMessageTarget* MainWindow() const { return m_pMainWnd; }

    // The receiver-present flag CheckDevice keeps.
    int DevicePresent() const { return m_nDevicePresent; }
    // Why a receiver that is plugged in may not be used; empty for none.
    std::string ReceiverRefusal() const { return m_pReceiver ? m_pReceiver->Refusal() : ""; }
    SReceiverGaps ReceiverGaps() const {
        return m_pReceiver ? m_pReceiver->AudioGaps() : SReceiverGaps{};
    }
    // Mutes the receiver's input line on the sound card (nothing for a
    // receiver with its own audio).
    void MuteInput();

    // What a new scheduled recording is checked and registered with.
    CNewTask::SContext NewTaskContext();

    // The message text of a key in the current language.
    std::string Message(const std::string& strKey) const;
    const std::string& Language() const { return m_strLanguage; }
    // Takes up the language the profile names now.
    void ReloadLanguage() { m_strLanguage = LoadLanguageName(); }

    // The current or last recording.
    int Recording() const { return m_nRecording; }
    std::time_t RecordStart() const { return m_tRecordStart; }
    const std::string& RecordFile() const { return m_strRecordFile; }
    const std::string& Channel() const { return m_strChannel; }
    const std::string& ChannelName() const { return m_strChannelName; }

    // The scheduled task under way: StopRecording clears the flag.
    int Scheduled() const { return m_nScheduled; }
    void SetScheduled(int nScheduled) { m_nScheduled = nScheduled; }
    int TaskNumber() const { return m_nTaskNumber; }
    void SetTaskNumber(int nTask) { m_nTaskNumber = nTask; }
    std::time_t ScheduledEnd() const { return m_tScheduledEnd; }
    void SetScheduledEnd(std::time_t end) { m_tScheduledEnd = end; }
    const std::string& TaskMemo() const { return m_strTaskMemo; }
    void SetTaskMemo(const std::string& strMemo) { m_strTaskMemo = strMemo; }

private:
    // Declared in the order they are made; they go in reverse.
    const SRadioServices m_services;
    CProfile& m_profile;
    CMixerLine m_inputMute;
    const std::string m_strStartFolder;
    CLanguage m_language;
    CLanguageTexts m_texts;
    // The frequency display's text, passed on; every tune a change notice.
    class CDisplayRelay : public CTextSink {
    public:
        explicit CDisplayRelay(CRadioCore& core) : m_core(core) {}
        void SetText(const std::string& text) override;
        void SetTarget(CTextSink* pTarget);

    private:
        CRadioCore& m_core;
        std::mutex m_mutex;
        CTextSink* m_pTarget = nullptr;
    };
    CDisplayRelay m_displayRelay;
    std::mutex m_listenerMutex;
    std::vector<CMessageTarget*> m_listeners;
    // The tuner and the device link for the HID receiver.
    std::unique_ptr<CReceiver> m_pReceiver;
    CTaskSet m_taskSet;
    CFileListSet m_fileListSet;
    CMessageTarget* m_pMainWnd = nullptr;
    int m_nDevicePresent = 0;
    CAudioGraph m_audioGraph;
    std::time_t m_tRecordStart = 0;
    std::time_t m_tScheduledEnd = 0;
    std::string m_strRecordFile;
    std::string m_strTaskMemo;
    std::string m_strChannel;
    std::string m_strChannelName;
    std::string m_strRecordMemo;  // the task's memo as the recording started
    int m_nRecording = 0;
    std::int64_t m_nStoppedSeconds = 0;
    int m_nTaskNumber = 0;
    int m_nScheduled = 0;
    std::string m_strLanguage;

    std::string m_strStartFailure;
    std::optional<std::string> m_dataSourceId;

    // A scan under way, and where the listener was before it.
    std::unique_ptr<CBandScan> m_pScan;
    uint64_t m_nScan = 0;  // the number of the last scan started
    struct SScanReturn {
        int nBand = CReceiver::BAND_FM;
        unsigned nFrequency = 0;
        int nChannelFlag = 0;
    } m_scanReturn;
    // Ends a running scan and a seek before a tune from elsewhere.
    void StopTuningWork();

    void OpenTable(CRecordset& table, const std::string& strSQL);
    // The change notice, handled by the listeners before this returns.
    void Announce();
    // Steps 4 to 8 of the opening: the capture device and its input.
    void OpenMedia(CMessageTarget* pMainWnd);
    void ShowMessage(const std::string& strKey);
    void ChooseDefaultPin(std::string& strPinName);
    // The first microphone or line source of a speakers mix, device by device.
    bool FindSpeakerInput(std::string& strDeviceName, std::string& strPortName, uint32_t& nType);
    void ChooseCaptureInput(const std::string& strDeviceName, const std::string& strPinName);
    void CatalogueRecording();
    // What the recording's file says of itself: station, start, the task's memo.
    SRecordingTags RecordTags() const;
};
