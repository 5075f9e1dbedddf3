#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/media/CaptureFaultSwitch.h"
#include "platform/media/CaptureGraph.h"
#include "platform/media/FreeSpaceWatch.h"
#include "platform/media/GstCaptureSource.h"
#include "platform/media/GstSupport.h"

// The capture graph on a GStreamer pipeline:
//   source ! audioconvert ! audioresample ! capsfilter ! wavenc ! filesink
//   source ! audioconvert ! audioresample ! capsfilter ! avenc_wmav2 ! asfmux ! filesink
//   source ! audioconvert ! audioresample ! capsfilter ! flacenc ! filesink
//   source ! audioconvert ! audioresample ! capsfilter ! opusenc ! oggmux ! filesink
//   source ! audioconvert ! audioresample ! capsfilter ! lamemp3enc ! id3v2mux ! filesink
// The converters pass the audio through untouched when the source can give
// the format itself, and convert when it cannot.
//
// The recording is watched from the pipeline's own threads: a bus sync
// handler sees every error as it is posted, and a probe on the raw audio
// between the capsfilter and the writer checks the free space before each
// buffer. Either ends the writer's stream there, so that wavenc and asfmux
// complete the file (header rewritten in place) in the space kept free.
class CGstCaptureGraph : public CCaptureGraph {
public:
    // Makes an element of a factory (owned); null when it is not installed.
    using ElementFactory = std::function<GstElementPtr(const char* factory, const char* name)>;

    // Null when the pipeline's own elements are not installed. The fault
    // switch (simulated back-end only) may be null.
    static std::unique_ptr<CGstCaptureGraph> Create(
        ElementFactory makeElement, std::shared_ptr<SCaptureFaultSwitch> pFaults = nullptr);

private:
    struct SPasskey {
        explicit SPasskey() = default;
    };

public:
    // Through Create() only.
    CGstCaptureGraph(SPasskey, ElementFactory makeElement,
                     std::shared_ptr<SCaptureFaultSwitch> pFaults);
    ~CGstCaptureGraph() override;

    CGstCaptureGraph(const CGstCaptureGraph&) = delete;
    CGstCaptureGraph& operator=(const CGstCaptureGraph&) = delete;

    MediaStatus AddCaptureSource(const CMediaDevice& device) override;
    bool HasCaptureSource() const override { return m_pSource != nullptr; }
    MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) override;
    MediaStatus EnableInput(int nInput, bool bEnable) override;
    MediaStatus SuggestBuffers(int nOutput, int nBuffers, int nBufferBytes,
                               int nAlignment) override;
    MediaStatus GetFormat(int nOutput, SAudioFormat& format) override;
    MediaStatus SetFormat(int nOutput, const SAudioFormat& format) override;
    MediaStatus AddWavWriter(const std::string& strPath) override;
    MediaStatus SetAsfOutput(const std::string& strPath) override;
    MediaStatus ConfigureAsf(int nBitsPerSecond) override;
    MediaStatus SetCompressedOutput(ECompressedFormat eFormat, const std::string& strPath,
                                    int nLevel) override;
    void SetTags(const SRecordingTags& tags) override { m_tags = tags; }
    MediaStatus RenderCapture() override;
    void SetFaultNotify(std::function<void()> notify) override;
    void SetFreeSpaceReserve(uint64_t nBytes) override;
    MediaStatus Run() override;
    MediaStatus StopWhenReady() override;
    void RemoveWavChain() override;
    ECaptureFault Fault() const override;
    std::string FaultDetail() const override;
    double WrittenSeconds() const override;
    bool FileKept() const override;

private:
    // Output pin 0 is the source's only output pin.
    MediaStatus CheckOutputPin(int nOutput) const;
    // Makes the element and moves it into the pipeline; null on failure.
    GstElement* AddElement(const char* factory, const char* name);
    void RemoveElement(GstElement*& pElement);
    void ConfigureFileWriter(const std::string& strPath);
    void ConfigureEncoder(ECompressedFormat eFormat, int nLevel);
    // The tags onto the writer that puts them in the file.
    void ApplyTags(GstElement* pWriter) const;
    void ResetWatch();
    // Before the start: a recording that would end at once is not begun.
    bool HasRoomToStart();
    void RemoveFileOfFailedStart(bool bExisted) const;
    bool WaitForWriterEnd(std::chrono::milliseconds timeout);
    // After the stop: repairs what a failure left and measures the file.
    void CompleteFile();

    // Streaming threads (and the UI thread while it starts or stops).
    static GstBusSyncReply OnBusMessage(GstBus* pBus, GstMessage* pMessage, gpointer pSelf);
    static GstPadProbeReturn OnRawAudio(GstPad* pPad, GstPadProbeInfo* pInfo, gpointer pSelf);
    static GstPadProbeReturn OnFileData(GstPad* pPad, GstPadProbeInfo* pInfo, gpointer pSelf);
    void WatchMessage(GstMessage* pMessage);
    GstPadProbeReturn WatchRawAudio(GstPadProbeInfo* pInfo);
    GstPadProbeReturn InjectWriteFault(GstPadProbeInfo* pInfo);
    ECaptureFault ClassifyError(GstMessage* pMessage) const;
    // True (with what to log) when the free space is below the reserve. A
    // buffer is small beside the reserve, and what the file takes of it is
    // less for WMA: the check is on the reserve alone.
    bool IsBelowReserve(std::string& strDetail) const;
    // Records the first fault and sends the notice for a running recording.
    void Fail(ECaptureFault eFault, const std::string& strDetail);
    // Ends the writer's stream at the raw audio, once.
    void EndWriterStream();

    ElementFactory m_makeElement;
    std::shared_ptr<SCaptureFaultSwitch> m_pFaults;
    // Declared before the pipeline so that it outlives it.
    std::unique_ptr<CGstCaptureSource> m_pSource;
    GstElementPtr m_pPipeline;
    // Owned by the pipeline while they are in it.
    GstElement* m_pConvert = nullptr;
    GstElement* m_pResample = nullptr;
    GstElement* m_pFormatFilter = nullptr;
    GstElement* m_pWavDest = nullptr;
    GstElement* m_pEncoder = nullptr;
    GstElement* m_pMuxer = nullptr;
    // The file's kind, for the check of a finished file.
    enum class EFileKind { None, Wav, Asf, Compressed } m_eFileKind = EFileKind::None;
    GstElement* m_pFileWriter = nullptr;

    std::optional<SAudioFormat> m_format;
    std::optional<SCaptureBuffering> m_buffering;
    std::string m_strPath;
    SRecordingTags m_tags;
    bool m_bRendered = false;
    bool m_bRunning = false;
    uint64_t m_nReserve = kDefaultFreeSpaceReserve;
    // Set before the start, read by the streaming threads.
    std::function<void()> m_notify;
    CFreeSpaceWatch m_space;

    // Shared with the streaming threads.
    mutable std::mutex m_faultMutex;
    std::atomic<ECaptureFault> m_eFault{ECaptureFault::None};
    std::string m_strFaultDetail;  // guarded by m_faultMutex
    bool m_bNoticeArmed = false;   // guarded by m_faultMutex
    std::atomic<bool> m_bWriterFailed{false};
    std::atomic<bool> m_bEndSent{false};
    // Frames the writer completed, and those of the buffer it took last.
    std::atomic<uint64_t> m_nFramesWritten{0};
    std::atomic<uint64_t> m_nFramesPending{0};
    std::atomic<int> m_nFrameBytes{0};
    std::atomic<int> m_nSampleRate{0};
    std::mutex m_endMutex;
    std::condition_variable m_endReached;
    bool m_bWriterEnded = false;  // guarded by m_endMutex

    // After the stop.
    std::atomic<double> m_dFileSeconds{-1.0};
    bool m_bFileKept = false;
};
