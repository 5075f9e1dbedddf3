#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/media/MediaServices.h"
#include "platform/profile/RecordFormat.h"

class CMessageBoxes;
class CMessageTarget;

// The media object: it records the capture input to a WAV or WMA file and
// plays recordings back, never both at once. The capture graph is built anew
// for each recording and released when it stops; releasing it also releases
// the playback graph.
//
// Which capture device records is chosen by name: CAudioGraph::Open picks the
// first device whose name contains the configured name, SelectDevice the
// first whose name the given name contains. All calls come from the UI
// thread.
//
// A recording watches itself: when the disk fills (its free space falls below
// the reserve), the file cannot be written or the capture device goes, the
// recording ends by itself with its file completed, and WM_GRAPH_NOTIFY
// (wParam 0, lParam 0: the capture graph) is posted once to the notify window
// from a streaming thread. It still counts as recording until StopRecording(),
// which then returns normally; RecordFault() tells what happened.
class CAudioGraph {
public:
    static constexpr int kMaxEntries = 10;        // device and pin list entries
    static constexpr size_t kMaxNameBytes = 127;  // per entry
    // The text of a message key in the language file, empty when it has none.
    using TextProvider = std::function<std::string(std::string_view key)>;

    CAudioGraph(CMediaServices& media, CMessageBoxes& messageBoxes);
    virtual ~CAudioGraph();

    CAudioGraph(const CAudioGraph&) = delete;
    CAudioGraph& operator=(const CAudioGraph&) = delete;

    // Recording.
    long Open(CMessageTarget* pNotifyWnd);
    bool EnumerateDevices();
    bool SelectDevice(const std::string& strDeviceName, const std::string& strPinName);
    bool OpenDevice(int nIndex);
    MediaStatus SelectPin(int nIndex);
    bool StartRecording(bool bWav);
    // In any of the formats; WAV and WMA as StartRecording(bool) records them.
    bool StartRecording(ERecordFormat eFormat);
    int StopRecording();
    MediaStatus CreateCaptureGraph();
    void ReleaseCaptureGraph();
    MediaStatus RebuildCaptureGraph();
    // A message text from the owner's provider; the default when it has none.
    std::string LoadText(const std::string& strKey, const std::string& strDefault) const;
    // Set by the owner, which knows the language file; without one every
    // message is its default.
    void SetTextProvider(TextProvider provider) { m_textProvider = std::move(provider); }

    // Playback.
    bool OpenPlayback(const std::string& strPath, bool bPlay);
    void TogglePause();
    MediaStatus ClosePlayback();
    double GetDuration() const;
    double GetPosition() const;
    bool Seek(double dPosition, double dStopTime);

    // What the core and the player read and set.
    int DeviceIndex() const { return m_nDeviceIndex; }
    void SetDeviceIndex(int nIndex) { m_nDeviceIndex = nIndex; }
    const std::string& DeviceName() const { return m_strDeviceName; }
    void SetDeviceName(const std::string& strName) { m_strDeviceName = strName; }
    const std::string& PinName() const { return m_strPinName; }
    void SetPinName(const std::string& strName) { m_strPinName = strName; }
    int DeviceCount() const { return m_nDeviceCount; }
    // Entry n of the device list; empty outside the list.
    const std::string& DeviceListEntry(int nIndex) const;
    int PinCount() const { return m_nPinCount; }
    const std::string& PinListEntry(int nIndex) const;
    int PinIndex() const { return m_nPinIndex; }
    void SetPinIndex(int nIndex) { m_nPinIndex = nIndex; }
    int Quality() const { return m_nQuality; }
    void SetQuality(int nQuality) { m_nQuality = nQuality; }
    const std::string& RecordFile() const { return m_strRecordFile; }
    void SetRecordFile(const std::string& strPath) { m_strRecordFile = strPath; }
    // What the next recording's file says of itself.
    void SetRecordTags(const SRecordingTags& tags) { m_recordTags = tags; }
    bool IsRecording() const { return m_bRecording; }
    bool IsPaused() const { return m_bPaused; }
    bool IsPlaybackOpen() const { return m_bPlaybackOpen; }
    // The file open for playback; empty when none is.
    const std::string& PlaybackFile() const { return m_strPlaybackFile; }
    // The player clears it when the user presses Stop.
    void SetPlaybackOpen(bool bOpen) { m_bPlaybackOpen = bOpen; }

    // Where a recording without a file name goes: test.wav in the home folder.
    static std::string FallbackRecordFile();

    // How the running or the last recording went: None while it runs well
    // and after a good stop; after a failed start, why, where known
    // (DiskFull: the disk was below the reserve, and no file was made).
    ECaptureFault RecordFault() const;
    // What failed, for the log; empty without a fault.
    std::string RecordFaultDetail() const;
    // Seconds of audio in the record file, from the buffers the writer took
    // (not the wall clock): while recording and after StopRecording() until
    // the next start; after the stop, exactly what the file holds.
    double RecordedSeconds() const;
    // After StopRecording(): false when the recording left no file (a failed
    // start, or a failure before any audio was written: the file is removed).
    bool RecordFileKept() const;
    // A receiver that brings its own audio records from this device (a feed
    // of the media services) with no input pin; null: the device list's.
    void SetSourceDevice(std::shared_ptr<const CMediaDevice> pDevice) {
        m_pSourceDevice = std::move(pDevice);
    }

    // Free space recordings leave on the record folder's disk, so that the
    // file can always be completed; 0 turns the watch off.
    void SetFreeSpaceReserve(uint64_t nBytes) { m_nFreeSpaceReserve = nBytes; }
    uint64_t FreeSpaceReserve() const { return m_nFreeSpaceReserve; }

private:
    int PrepareDevice();
    MediaStatus BuildWavChain();
    MediaStatus BuildWmaChain();
    MediaStatus BuildCompressedChain(ERecordFormat eFormat);
    void RemoveWavChain();
    MediaStatus SetCaptureFormat(int nChannels, int nBytesPerSample, int nSampleRate);
    std::string OutputFileName() const;
    void ShowError(const std::string& strKey, const std::string& strDefault);
    // Takes over the capture graph's account of its recording.
    void KeepRecordOutcome();

    MediaStatus CreatePlaybackGraph();
    bool AddMatchingRenderer();
    void ReleasePlaybackGraph();

    CMediaServices& m_media;
    CMessageBoxes& m_messageBoxes;
    std::shared_ptr<const CMediaDevice> m_pSourceDevice;
    TextProvider m_textProvider;

    CMessageTarget* m_pNotifyWnd = nullptr;
    int m_nDeviceIndex = 0;
    std::string m_strDeviceName;
    std::string m_strPinName;
    std::array<std::string, kMaxEntries> m_deviceList;
    int m_nDeviceCount = 0;
    std::array<std::string, kMaxEntries> m_pinList;
    // Per pin list entry, which input pin of the source it is (-1: none).
    std::array<int, kMaxEntries> m_pinInputs{};
    int m_nPinCount = 0;
    int m_nPinIndex = 0;
    int m_nQuality = 0;
    std::string m_strRecordFile;
    SRecordingTags m_recordTags;
    bool m_bRecording = false;
    uint64_t m_nFreeSpaceReserve = kDefaultFreeSpaceReserve;
    // The last recording's outcome, once its graph is gone.
    ECaptureFault m_eRecordFault = ECaptureFault::None;
    std::string m_strRecordFaultDetail;
    double m_dRecordedSeconds = 0.0;
    bool m_bRecordFileKept = false;
    std::unique_ptr<CCaptureGraph> m_pGB;
    std::array<std::shared_ptr<const CMediaDevice>, kMaxEntries> m_pMonikers;

    bool m_bPaused = false;
    bool m_bPlaybackOpen = false;
    std::string m_strPlaybackFile;
    std::unique_ptr<CPlaybackGraph> m_pGBPlayback;
    std::shared_ptr<const CMediaDevice> m_pRenderer;
};
