#include "platform/media/GstCaptureGraph.h"

#include <gst/audio/audio.h>

#include <ctime>
#include <filesystem>

#include "platform/media/GstCaptureDevice.h"
#include "platform/media/MediaFileRepair.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";
// How long a stop waits for the writer to complete the file. A WAV stream
// ends at once; the WMA encoder flushes a few frames.
constexpr std::chrono::seconds kEndOfStreamWait{10};
// After a failure the writer only completes what it holds; a writer that
// does not end by then is beyond waiting for, and the file is repaired.
constexpr std::chrono::seconds kFailedEndWait{3};
// The stereo WMA profiles all run at CD rate.
constexpr int kWmaSampleRate = 44100;  // and MP3's
constexpr int kOpusSampleRate = 48000;

struct SCompressedChain {
    const char* pEncoder;
    const char* pMuxer;  // null: the encoder writes the container itself
    int nMinLevel;
    int nMaxLevel;
};

SCompressedChain CompressedChain(ECompressedFormat eFormat) {
    switch (eFormat) {
        case ECompressedFormat::Flac:
            return {"flacenc", nullptr, 0, 8};
        case ECompressedFormat::Opus:
            return {"opusenc", "oggmux", 6000, 510000};
        case ECompressedFormat::Mp3:
            // No xingmux: on a full disk its error path releases a buffer it no
            // longer holds (GStreamer 1.22); players measure a CBR file at once.
            return {"lamemp3enc", "id3v2mux", 8000, 320000};
    }
    return {"", nullptr, 0, -1};
}

bool IsConsistent(const SAudioFormat& format) {
    const int nBlock = format.nChannels * format.nBitsPerSample / 8;
    return format.nBlockAlign == nBlock && format.nAvgBytesPerSec == nBlock * format.nSamplesPerSec;
}

}  // namespace

std::unique_ptr<CGstCaptureGraph> CGstCaptureGraph::Create(
    ElementFactory makeElement, std::shared_ptr<SCaptureFaultSwitch> pFaults) {
    EnsureGstInit();
    auto pGraph =
        std::make_unique<CGstCaptureGraph>(SPasskey{}, std::move(makeElement), std::move(pFaults));
    if (!pGraph->m_pPipeline) {
        return nullptr;
    }
    pGraph->m_pConvert = pGraph->AddElement("audioconvert", "Convert");
    pGraph->m_pResample = pGraph->AddElement("audioresample", "Resample");
    pGraph->m_pFormatFilter = pGraph->AddElement("capsfilter", "Capture Format");
    if (!pGraph->m_pConvert || !pGraph->m_pResample || !pGraph->m_pFormatFilter) {
        return nullptr;
    }
    GstObjectPtr<GstBus> pBus(gst_element_get_bus(pGraph->m_pPipeline.get()));
    gst_bus_set_sync_handler(pBus.get(), &CGstCaptureGraph::OnBusMessage, pGraph.get(), nullptr);
    GstObjectPtr<GstPad> pRawAudio(gst_element_get_static_pad(pGraph->m_pFormatFilter, "src"));
    gst_pad_add_probe(pRawAudio.get(),
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &CGstCaptureGraph::OnRawAudio, pGraph.get(), nullptr);
    return pGraph;
}

CGstCaptureGraph::CGstCaptureGraph(SPasskey, ElementFactory makeElement,
                                   std::shared_ptr<SCaptureFaultSwitch> pFaults)
    : m_makeElement(std::move(makeElement)),
      m_pFaults(std::move(pFaults)),
      m_pPipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("Capture Graph")))) {}

CGstCaptureGraph::~CGstCaptureGraph() {
    // Ending the stream first keeps the file playable when a running graph is
    // simply dropped.
    StopWhenReady();
    if (m_pPipeline) {
        GstObjectPtr<GstBus> pBus(gst_element_get_bus(m_pPipeline.get()));
        gst_bus_set_sync_handler(pBus.get(), nullptr, nullptr, nullptr);
    }
}

GstElement* CGstCaptureGraph::AddElement(const char* factory, const char* name) {
    GstElementPtr pElement = m_makeElement(factory, name);
    if (!pElement || !gst_bin_add(GST_BIN(m_pPipeline.get()), pElement.get())) {
        return nullptr;
    }
    return pElement.get();  // the pipeline holds its own reference now
}

void CGstCaptureGraph::RemoveElement(GstElement*& pElement) {
    if (pElement) {
        gst_element_set_state(pElement, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(m_pPipeline.get()), pElement);
        pElement = nullptr;
    }
}

MediaStatus CGstCaptureGraph::AddCaptureSource(const CMediaDevice& device) {
    const auto* pDevice = dynamic_cast<const CGstCaptureDevice*>(&device);
    if (!pDevice) {
        return E_INVALIDARG;
    }
    if (m_pSource) {
        return E_UNEXPECTED;
    }
    std::unique_ptr<CGstCaptureSource> pSource = pDevice->Bind();
    if (!pSource) {
        KestrelTrace(kTag, "capture device \"%s\" cannot be bound", device.DisplayName().c_str());
        return E_FAIL;
    }
    if (!gst_bin_add(GST_BIN(m_pPipeline.get()), pSource->Element())) {
        return E_FAIL;
    }
    m_pSource = std::move(pSource);
    return S_OK;
}

MediaStatus CGstCaptureGraph::EnumeratePins(std::vector<SMediaPin>& pins) {
    if (!m_pSource) {
        return E_POINTER;
    }
    return m_pSource->EnumeratePins(pins);
}

MediaStatus CGstCaptureGraph::EnableInput(int nInput, bool bEnable) {
    if (!m_pSource) {
        return E_POINTER;
    }
    return m_pSource->EnableInput(nInput, bEnable);
}

MediaStatus CGstCaptureGraph::CheckOutputPin(int nOutput) const {
    if (!m_pSource) {
        return E_POINTER;
    }
    return nOutput == 0 ? S_OK : E_FAIL;
}

MediaStatus CGstCaptureGraph::SuggestBuffers(int nOutput, int nBuffers, int nBufferBytes,
                                             int nAlignment) {
    if (const MediaStatus status = CheckOutputPin(nOutput); status != S_OK) {
        return status;
    }
    if (nBuffers <= 0 || nBufferBytes <= 0 || nAlignment <= 0) {
        return E_INVALIDARG;
    }
    m_buffering = SCaptureBuffering{nBuffers, nBufferBytes, nAlignment};
    return S_OK;
}

MediaStatus CGstCaptureGraph::GetFormat(int nOutput, SAudioFormat& format) {
    if (const MediaStatus status = CheckOutputPin(nOutput); status != S_OK) {
        return status;
    }
    format = m_format.value_or(m_pSource->NativeFormat());
    return S_OK;
}

MediaStatus CGstCaptureGraph::SetFormat(int nOutput, const SAudioFormat& format) {
    if (const MediaStatus status = CheckOutputPin(nOutput); status != S_OK) {
        return status;
    }
    GstCapsPtr pCaps = AudioCapsFor(format);
    if (!pCaps || !IsConsistent(format)) {
        return E_INVALIDARG;
    }
    g_object_set(m_pFormatFilter, "caps", pCaps.get(), nullptr);
    m_format = format;
    return S_OK;
}

MediaStatus CGstCaptureGraph::AddWavWriter(const std::string& strPath) {
    if (m_pWavDest || m_pMuxer || m_bRendered) {
        return E_UNEXPECTED;
    }
    m_pWavDest = AddElement("wavenc", "WAV Dest");
    if (!m_pWavDest) {
        return E_NOINTERFACE;
    }
    m_pFileWriter = AddElement("filesink", "File Writer");
    if (!m_pFileWriter) {
        RemoveElement(m_pWavDest);
        return E_NOINTERFACE;
    }
    ConfigureFileWriter(strPath);
    m_eFileKind = EFileKind::Wav;
    return gst_element_link(m_pWavDest, m_pFileWriter) ? S_OK : E_FAIL;
}

MediaStatus CGstCaptureGraph::SetAsfOutput(const std::string& strPath) {
    if (m_pWavDest || m_pMuxer || m_bRendered) {
        return E_UNEXPECTED;
    }
    m_pEncoder = AddElement("avenc_wmav2", "WMA Encoder");
    m_pMuxer = AddElement("asfmux", "ASF Writer");
    m_pFileWriter = AddElement("filesink", "File Writer");
    if (!m_pEncoder || !m_pMuxer || !m_pFileWriter) {
        RemoveElement(m_pEncoder);
        RemoveElement(m_pMuxer);
        RemoveElement(m_pFileWriter);
        return E_NOINTERFACE;
    }
    // The muxer's default preroll of 5 s is longer than a short recording,
    // which some players take badly; the file is played from disk anyway.
    g_object_set(m_pMuxer, "preroll", guint64{0}, nullptr);
    ConfigureFileWriter(strPath);
    m_eFileKind = EFileKind::Asf;
    return gst_element_link_many(m_pEncoder, m_pMuxer, m_pFileWriter, nullptr) ? S_OK : E_FAIL;
}

void CGstCaptureGraph::ConfigureFileWriter(const std::string& strPath) {
    m_strPath = strPath;
    // filesink truncates: an existing file of the name is replaced.
    g_object_set(m_pFileWriter, "location", strPath.c_str(), "append", FALSE, nullptr);
    // Each buffer goes straight to the file: the free space read is what the
    // file really took, and a failed write surfaces with its own buffer, not
    // at a later flush of 64 KiB.
    gst_util_set_object_arg(G_OBJECT(m_pFileWriter), "buffer-mode", "unbuffered");
    if (m_pFaults) {
        GstObjectPtr<GstPad> pPad(gst_element_get_static_pad(m_pFileWriter, "sink"));
        gst_pad_add_probe(pPad.get(), GST_PAD_PROBE_TYPE_BUFFER, &CGstCaptureGraph::OnFileData,
                          this, nullptr);
    }
}

MediaStatus CGstCaptureGraph::ConfigureAsf(int nBitsPerSecond) {
    if (!m_pEncoder || m_eFileKind != EFileKind::Asf) {
        return E_UNEXPECTED;
    }
    if (nBitsPerSecond <= 0) {
        return E_INVALIDARG;
    }
    g_object_set(m_pEncoder, "bitrate", nBitsPerSecond, nullptr);
    GstCapsPtr pCaps(gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, kWmaSampleRate,
                                         "channels", G_TYPE_INT, 2, nullptr));
    g_object_set(m_pFormatFilter, "caps", pCaps.get(), nullptr);
    return S_OK;
}

MediaStatus CGstCaptureGraph::SetCompressedOutput(ECompressedFormat eFormat,
                                                  const std::string& strPath, int nLevel) {
    if (m_pWavDest || m_pMuxer || m_pEncoder || m_bRendered) {
        return E_UNEXPECTED;
    }
    const SCompressedChain chain = CompressedChain(eFormat);
    if (nLevel < chain.nMinLevel || nLevel > chain.nMaxLevel) {
        return E_INVALIDARG;
    }
    m_pEncoder = AddElement(chain.pEncoder, "Encoder");
    m_pMuxer = chain.pMuxer ? AddElement(chain.pMuxer, "Container Writer") : nullptr;
    m_pFileWriter = AddElement("filesink", "File Writer");
    if (!m_pEncoder || (chain.pMuxer && !m_pMuxer) || !m_pFileWriter) {
        RemoveElement(m_pEncoder);
        RemoveElement(m_pMuxer);
        RemoveElement(m_pFileWriter);
        return E_NOINTERFACE;
    }
    ConfigureEncoder(eFormat, nLevel);
    ConfigureFileWriter(strPath);
    m_eFileKind = EFileKind::Compressed;
    const bool bLinked = m_pMuxer
                             ? gst_element_link_many(m_pEncoder, m_pMuxer, m_pFileWriter, nullptr)
                             : gst_element_link(m_pEncoder, m_pFileWriter);
    return bLinked ? S_OK : E_FAIL;
}

void CGstCaptureGraph::ConfigureEncoder(ECompressedFormat eFormat, int nLevel) {
    int nRate = 0;
    switch (eFormat) {
        case ECompressedFormat::Flac:
            g_object_set(m_pEncoder, "quality", nLevel, nullptr);
            return;  // at the capture format the caller sets
        case ECompressedFormat::Opus:
            g_object_set(m_pEncoder, "bitrate", nLevel, nullptr);
            nRate = kOpusSampleRate;
            break;
        case ECompressedFormat::Mp3:
            // Constant bit rate: every player reads the length from the size.
            g_object_set(m_pEncoder, "bitrate", nLevel / 1000, "cbr", TRUE, nullptr);
            gst_util_set_object_arg(G_OBJECT(m_pEncoder), "target", "bitrate");
            nRate = kWmaSampleRate;
            break;
    }
    GstCapsPtr pCaps(gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, nRate, "channels",
                                         G_TYPE_INT, 2, nullptr));
    g_object_set(m_pFormatFilter, "caps", pCaps.get(), nullptr);
}

MediaStatus CGstCaptureGraph::RenderCapture() {
    if (!m_pSource) {
        return E_POINTER;
    }
    GstElement* pChain = m_pWavDest ? m_pWavDest : m_pEncoder;
    if (!pChain || m_bRendered) {
        return E_FAIL;
    }
    if (!gst_element_link_many(m_pSource->Element(), m_pConvert, m_pResample, m_pFormatFilter,
                               pChain, nullptr)) {
        KestrelTrace(kTag, "the capture source does not link to the writer");
        return E_FAIL;
    }
    // The container's writer takes the tags, or else the encoder (Opus
    // writes them in its own header, which oggmux only carries).
    for (GstElement* pWriter : {m_pWavDest, m_pMuxer, m_pEncoder}) {
        if (pWriter && GST_IS_TAG_SETTER(pWriter)) {
            ApplyTags(pWriter);
            break;
        }
    }
    m_bRendered = true;
    return S_OK;
}

void CGstCaptureGraph::ApplyTags(GstElement* pWriter) const {
    GstTagList* pTags = gst_tag_list_new_empty();
    const auto add = [pTags](const char* pTag, const std::string& strText) {
        if (!strText.empty()) {
            gst_tag_list_add(pTags, GST_TAG_MERGE_REPLACE, pTag, strText.c_str(), nullptr);
        }
    };
    add(GST_TAG_TITLE, m_tags.strTitle);
    add(GST_TAG_ARTIST, m_tags.strArtist);
    add(GST_TAG_COMMENT, m_tags.strComment);
    if (m_tags.tDate != 0) {
        std::tm local{};
        localtime_r(&m_tags.tDate, &local);
        GDate* pDate = g_date_new_dmy(static_cast<GDateDay>(local.tm_mday),
                                      static_cast<GDateMonth>(local.tm_mon + 1),
                                      static_cast<GDateYear>(local.tm_year + 1900));
        gst_tag_list_add(pTags, GST_TAG_MERGE_REPLACE, GST_TAG_DATE, pDate, nullptr);
        g_date_free(pDate);
        GstDateTime* pWhen = gst_date_time_new_local_time(
            local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
            static_cast<gdouble>(local.tm_sec));
        gst_tag_list_add(pTags, GST_TAG_MERGE_REPLACE, GST_TAG_DATE_TIME, pWhen, nullptr);
        gst_date_time_unref(pWhen);
    }
    gst_tag_setter_merge_tags(GST_TAG_SETTER(pWriter), pTags, GST_TAG_MERGE_REPLACE);
    gst_tag_list_unref(pTags);
}

void CGstCaptureGraph::SetFaultNotify(std::function<void()> notify) {
    m_notify = std::move(notify);
}

void CGstCaptureGraph::SetFreeSpaceReserve(uint64_t nBytes) {
    m_nReserve = nBytes;
}

void CGstCaptureGraph::ResetWatch() {
    {
        std::lock_guard lock(m_faultMutex);
        m_eFault = ECaptureFault::None;
        m_strFaultDetail.clear();
        m_bNoticeArmed = false;
    }
    {
        std::lock_guard lock(m_endMutex);
        m_bWriterEnded = false;
    }
    m_bWriterFailed = false;
    m_bEndSent = false;
    m_nFramesWritten = 0;
    m_nFramesPending = 0;
    m_nFrameBytes = 0;
    m_nSampleRate = 0;
    m_dFileSeconds = -1.0;
    m_bFileKept = false;
}

bool CGstCaptureGraph::HasRoomToStart() {
    if (!m_space.Open(m_strPath)) {
        KestrelTrace(kTag, "the free space beside %s cannot be watched", m_strPath.c_str());
    }
    std::string strDetail;
    if (!IsBelowReserve(strDetail)) {
        return true;
    }
    Fail(ECaptureFault::DiskFull, strDetail);  // no notice: the start itself fails
    m_space.Close();
    return false;
}

// The file of a start that failed holds no recording; a file of the name
// that was there before is kept unless the writer had already emptied it.
void CGstCaptureGraph::RemoveFileOfFailedStart(bool bExisted) const {
    std::error_code error;
    if (!std::filesystem::exists(m_strPath, error)) {
        return;
    }
    if (!bExisted || std::filesystem::file_size(m_strPath, error) == 0) {
        std::filesystem::remove(m_strPath, error);
    }
}

MediaStatus CGstCaptureGraph::Run() {
    if (!m_bRendered) {
        return E_UNEXPECTED;
    }
    ResetWatch();
    if (!HasRoomToStart()) {
        return E_DISK_FULL;
    }
    std::error_code error;
    const bool bExisted = std::filesystem::exists(m_strPath, error);
    m_pSource->Prepare(m_format ? &*m_format : nullptr, m_buffering ? &*m_buffering : nullptr);
    // Device and file open on the way to PLAYING, so a failure to open shows
    // in the result at once. The sinks complete the change only with the
    // first buffer, which is not waited for: the recording runs from here,
    // and a failure of its first buffers comes as a notice like any later.
    const GstStateChangeReturn result = gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING);
    ECaptureFault eEarly = ECaptureFault::None;
    bool bStarted = false;
    {
        // Under the lock a fault either came before (the start fails) or
        // after (it is noticed), never both.
        std::lock_guard lock(m_faultMutex);
        eEarly = m_eFault.load();
        bStarted = result != GST_STATE_CHANGE_FAILURE && eEarly == ECaptureFault::None;
        m_bNoticeArmed = bStarted;
    }
    if (!bStarted) {
        KestrelTrace(kTag, "recording does not start: %s", FaultDetail().c_str());
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
        m_space.Close();
        RemoveFileOfFailedStart(bExisted);
        m_dFileSeconds = 0.0;
        return eEarly == ECaptureFault::DiskFull ? E_DISK_FULL : E_FAIL;
    }
    m_bRunning = true;
    if (m_pFaults) {
        ++m_pFaults->nRunning;
    }
    return result == GST_STATE_CHANGE_ASYNC ? S_FALSE : S_OK;
}

bool CGstCaptureGraph::WaitForWriterEnd(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_endMutex);
    // A writer that fails while the stream ends will not end it.
    m_endReached.wait_for(lock, timeout, [this] { return m_bWriterEnded || m_bWriterFailed; });
    return m_bWriterEnded;
}

MediaStatus CGstCaptureGraph::StopWhenReady() {
    if (!m_pPipeline) {
        return E_UNEXPECTED;
    }
    MediaStatus status = S_OK;
    const bool bWasRunning = m_bRunning;
    if (m_bRunning) {
        m_bRunning = false;
        {
            // The caller is stopping: it reads the fault itself.
            std::lock_guard lock(m_faultMutex);
            m_bNoticeArmed = false;
        }
        const bool bFailed = Fault() != ECaptureFault::None;
        if (m_bWriterFailed) {
            // A writer that failed a write completes nothing reliably (asfmux
            // never ends its stream after one): the file is repaired instead.
            KestrelTrace(kTag, "the writer failed; its file is checked and repaired");
        } else {
            if (bFailed) {
                EndWriterStream();  // the source may be gone; the writer is fed no more
            } else {
                gst_element_send_event(m_pPipeline.get(), gst_event_new_eos());
            }
            if (!WaitForWriterEnd(bFailed ? kFailedEndWait : kEndOfStreamWait)) {
                KestrelTrace(kTag, "the recording did not end cleanly; checking the file");
                status = S_FALSE;
            }
        }
    }
    gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    m_space.Close();
    if (bWasRunning) {
        CompleteFile();
        if (m_pFaults && m_pFaults->nRunning.fetch_sub(1) == 1) {
            m_pFaults->eNextFault = ECaptureFault::None;  // meant for a recording that ended
        }
    }
    return status;
}

void CGstCaptureGraph::CompleteFile() {
    std::error_code error;
    const uint64_t nBytes = std::filesystem::file_size(m_strPath, error);
    if (error) {
        m_bFileKept = false;
        m_dFileSeconds = 0.0;
        return;
    }
    const int nRate = m_nSampleRate;
    double dSeconds = nRate > 0 ? static_cast<double>(m_nFramesWritten.load()) / nRate : 0.0;
    // The compressed formats need no repair: their decoders read a file cut
    // short, and the encoder's count says how much audio it holds.
    SMediaFileCheck check;
    if (m_eFileKind == EFileKind::Wav) {
        check = CheckWavFile(m_strPath);
    } else if (m_eFileKind == EFileKind::Asf) {
        check = CheckAsfFile(m_strPath);
    }
    if (check.bValid) {
        dSeconds = check.dSeconds;
    }
    const bool bEmpty =
        check.bValid ? check.dSeconds <= 0.0
                     : nBytes == 0 || (m_eFileKind == EFileKind::Compressed && dSeconds <= 0.0);
    if (Fault() != ECaptureFault::None && bEmpty) {
        KestrelTrace(kTag, "the failed recording %s holds no audio; removed", m_strPath.c_str());
        std::filesystem::remove(m_strPath, error);
        m_bFileKept = false;
        m_dFileSeconds = 0.0;
        return;
    }
    m_bFileKept = true;
    m_dFileSeconds = dSeconds;
}

ECaptureFault CGstCaptureGraph::Fault() const {
    return m_eFault.load();
}

std::string CGstCaptureGraph::FaultDetail() const {
    std::lock_guard lock(m_faultMutex);
    return m_strFaultDetail;
}

double CGstCaptureGraph::WrittenSeconds() const {
    if (const double dFile = m_dFileSeconds.load(); dFile >= 0.0) {
        return dFile;
    }
    const int nRate = m_nSampleRate.load();
    return nRate > 0 ? static_cast<double>(m_nFramesWritten.load()) / nRate : 0.0;
}

bool CGstCaptureGraph::FileKept() const {
    return m_bFileKept;
}

void CGstCaptureGraph::Fail(ECaptureFault eFault, const std::string& strDetail) {
    bool bNotice = false;
    {
        std::lock_guard lock(m_faultMutex);
        if (m_eFault.load() != ECaptureFault::None) {
            return;  // the first fault is the cause; the rest follow from it
        }
        m_strFaultDetail = strDetail;
        m_eFault = eFault;
        bNotice = m_bNoticeArmed;
    }
    KestrelTrace(kTag, "recording to %s fails: %s", m_strPath.c_str(), strDetail.c_str());
    if (bNotice && m_notify) {
        m_notify();
    }
}

void CGstCaptureGraph::EndWriterStream() {
    if (m_bEndSent.exchange(true)) {
        return;
    }
    // Buffers pushed after this meet an ended pad and stop the source.
    GstObjectPtr<GstPad> pPad(gst_element_get_static_pad(m_pFormatFilter, "src"));
    gst_pad_push_event(pPad.get(), gst_event_new_eos());
}

bool CGstCaptureGraph::IsBelowReserve(std::string& strDetail) const {
    if (m_nReserve == 0) {
        return false;
    }
    uint64_t nFree = 0;
    if (!m_pFaults || !m_pFaults->bDiskFull) {
        const std::optional<uint64_t> free = m_space.FreeBytes();
        if (!free) {
            return false;  // unknown: the writer's own errors still end the recording
        }
        nFree = *free;
    }
    if (nFree >= m_nReserve) {
        return false;
    }
    strDetail = "only " + std::to_string(nFree) + " bytes free on the disk of " + m_strPath +
                ", below the reserve of " + std::to_string(m_nReserve);
    return true;
}

ECaptureFault CGstCaptureGraph::ClassifyError(GstMessage* pMessage) const {
    GstObject* pFrom = GST_MESSAGE_SRC(pMessage);
    GstObject* pSource = m_pSource ? GST_OBJECT(m_pSource->Element()) : nullptr;
    if (pFrom && pSource && (pFrom == pSource || gst_object_has_as_ancestor(pFrom, pSource))) {
        return ECaptureFault::DeviceLost;
    }
    GError* pError = nullptr;
    gst_message_parse_error(pMessage, &pError, nullptr);
    const bool bFull = pError && pError->domain == GST_RESOURCE_ERROR &&
                       pError->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT;
    g_clear_error(&pError);
    return bFull ? ECaptureFault::DiskFull : ECaptureFault::WriteError;
}

GstBusSyncReply CGstCaptureGraph::OnBusMessage(GstBus*, GstMessage* pMessage, gpointer pSelf) {
    static_cast<CGstCaptureGraph*>(pSelf)->WatchMessage(pMessage);
    // Everything the graph needs is taken here; nothing reads the queue.
    return GST_BUS_DROP;
}

void CGstCaptureGraph::WatchMessage(GstMessage* pMessage) {
    switch (GST_MESSAGE_TYPE(pMessage)) {
        case GST_MESSAGE_ERROR: {
            TraceBusMessage(pMessage);
            const ECaptureFault eFault = ClassifyError(pMessage);
            if (eFault != ECaptureFault::DeviceLost) {
                // The buffer the writer had in hand did not reach the file.
                m_nFramesPending = 0;
                {
                    std::lock_guard lock(m_endMutex);
                    m_bWriterFailed = true;
                }
                m_endReached.notify_all();
            }
            GstObject* pFrom = GST_MESSAGE_SRC(pMessage);
            Fail(eFault,
                 std::string(pFrom ? GST_OBJECT_NAME(pFrom) : "?") + ": " + ErrorText(pMessage));
            break;
        }
        case GST_MESSAGE_WARNING:
            TraceBusMessage(pMessage);
            break;
        case GST_MESSAGE_EOS: {
            if (!m_bWriterFailed) {
                m_nFramesWritten += m_nFramesPending.exchange(0);
            }
            {
                std::lock_guard lock(m_endMutex);
                m_bWriterEnded = true;
            }
            m_endReached.notify_all();
            break;
        }
        default:
            break;
    }
}

GstPadProbeReturn CGstCaptureGraph::OnRawAudio(GstPad*, GstPadProbeInfo* pInfo, gpointer pSelf) {
    return static_cast<CGstCaptureGraph*>(pSelf)->WatchRawAudio(pInfo);
}

GstPadProbeReturn CGstCaptureGraph::WatchRawAudio(GstPadProbeInfo* pInfo) {
    if (GST_PAD_PROBE_INFO_TYPE(pInfo) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* pEvent = GST_PAD_PROBE_INFO_EVENT(pInfo);
        if (GST_EVENT_TYPE(pEvent) == GST_EVENT_CAPS) {
            GstCaps* pCaps = nullptr;
            gst_event_parse_caps(pEvent, &pCaps);
            GstAudioInfo info;
            if (pCaps && gst_audio_info_from_caps(&info, pCaps)) {
                m_nFrameBytes = GST_AUDIO_INFO_BPF(&info);
                m_nSampleRate = GST_AUDIO_INFO_RATE(&info);
            }
        }
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* pBuffer = GST_PAD_PROBE_INFO_BUFFER(pInfo);
    if (!pBuffer) {
        return GST_PAD_PROBE_OK;
    }
    if (m_pFaults) {
        ECaptureFault eLost = ECaptureFault::DeviceLost;
        if (m_pFaults->eNextFault.compare_exchange_strong(eLost, ECaptureFault::None)) {
            // What a source does when its device goes: an error, then no more.
            GstObject* pSource = GST_OBJECT(m_pSource->Element());
            GError* pError = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ,
                                                 "Could not read from resource.");
            gst_element_post_message(
                m_pSource->Element(),
                gst_message_new_error(pSource, pError, "simulated: the capture device is gone"));
            g_error_free(pError);
        }
    }
    if (m_eFault.load() != ECaptureFault::None) {
        EndWriterStream();
        return GST_PAD_PROBE_DROP;
    }
    std::string strDetail;
    if (IsBelowReserve(strDetail)) {
        Fail(ECaptureFault::DiskFull, strDetail);
        EndWriterStream();
        return GST_PAD_PROBE_DROP;
    }
    const gsize nBytes = gst_buffer_get_size(pBuffer);
    const int nFrameBytes = m_nFrameBytes;
    const uint64_t nFrames = nFrameBytes > 0 ? nBytes / static_cast<gsize>(nFrameBytes) : 0;
    // This buffer's push has not returned yet; the one before it has.
    m_nFramesWritten += m_nFramesPending.exchange(nFrames);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn CGstCaptureGraph::OnFileData(GstPad*, GstPadProbeInfo* pInfo, gpointer pSelf) {
    return static_cast<CGstCaptureGraph*>(pSelf)->InjectWriteFault(pInfo);
}

// The simulated back-end's failed write: what filesink posts and returns.
GstPadProbeReturn CGstCaptureGraph::InjectWriteFault(GstPadProbeInfo* pInfo) {
    ECaptureFault eFault = m_pFaults->eNextFault;
    if ((eFault != ECaptureFault::DiskFull && eFault != ECaptureFault::WriteError) ||
        !m_pFaults->eNextFault.compare_exchange_strong(eFault, ECaptureFault::None)) {
        return GST_PAD_PROBE_OK;
    }
    const bool bFull = eFault == ECaptureFault::DiskFull;
    GError* pError = g_error_new_literal(
        GST_RESOURCE_ERROR, bFull ? GST_RESOURCE_ERROR_NO_SPACE_LEFT : GST_RESOURCE_ERROR_WRITE,
        bFull ? "No space left on the resource." : "Could not write to resource.");
    gst_element_post_message(m_pFileWriter,
                             gst_message_new_error(GST_OBJECT(m_pFileWriter), pError,
                                                   bFull ? "simulated: no space left on device"
                                                         : "simulated: input/output error"));
    g_error_free(pError);
    gst_buffer_unref(GST_PAD_PROBE_INFO_BUFFER(pInfo));
    GST_PAD_PROBE_INFO_DATA(pInfo) = nullptr;
    GST_PAD_PROBE_INFO_FLOW_RETURN(pInfo) = GST_FLOW_ERROR;
    return GST_PAD_PROBE_HANDLED;
}

void CGstCaptureGraph::RemoveWavChain() {
    StopWhenReady();
    if (!m_pWavDest) {
        return;
    }
    RemoveElement(m_pWavDest);
    RemoveElement(m_pFileWriter);
    m_bRendered = false;
}
