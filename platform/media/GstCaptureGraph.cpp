#include "platform/media/GstCaptureGraph.h"

#include "platform/media/GstCaptureDevice.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";
// How long a stop waits for the writer to complete the file. A WAV stream
// ends at once; the WMA encoder flushes a few frames.
constexpr std::chrono::seconds kEndOfStreamWait{10};
// The stereo WMA profiles all run at CD rate.
constexpr int kWmaSampleRate = 44100;

bool IsConsistent(const SAudioFormat& format) {
    const int nBlock = format.nChannels * format.nBitsPerSample / 8;
    return format.nBlockAlign == nBlock && format.nAvgBytesPerSec == nBlock * format.nSamplesPerSec;
}

}  // namespace

std::unique_ptr<CGstCaptureGraph> CGstCaptureGraph::Create(ElementFactory makeElement) {
    EnsureGstInit();
    auto pGraph = std::make_unique<CGstCaptureGraph>(SPasskey{}, std::move(makeElement));
    if (!pGraph->m_pPipeline) {
        return nullptr;
    }
    pGraph->m_pConvert = pGraph->AddElement("audioconvert", "Convert");
    pGraph->m_pResample = pGraph->AddElement("audioresample", "Resample");
    pGraph->m_pFormatFilter = pGraph->AddElement("capsfilter", "Capture Format");
    if (!pGraph->m_pConvert || !pGraph->m_pResample || !pGraph->m_pFormatFilter) {
        return nullptr;
    }
    return pGraph;
}

CGstCaptureGraph::CGstCaptureGraph(SPasskey, ElementFactory makeElement)
    : m_makeElement(std::move(makeElement)),
      m_pPipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("Capture Graph")))) {}

CGstCaptureGraph::~CGstCaptureGraph() {
    // Ending the stream first keeps the file playable when a running graph is
    // simply dropped.
    StopWhenReady();
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
    // filesink truncates: an existing file of the name is replaced.
    g_object_set(m_pFileWriter, "location", strPath.c_str(), "append", FALSE, nullptr);
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
    g_object_set(m_pFileWriter, "location", strPath.c_str(), "append", FALSE, nullptr);
    return gst_element_link_many(m_pEncoder, m_pMuxer, m_pFileWriter, nullptr) ? S_OK : E_FAIL;
}

MediaStatus CGstCaptureGraph::ConfigureAsf(int nBitsPerSecond) {
    if (!m_pEncoder) {
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
    m_bRendered = true;
    return S_OK;
}

MediaStatus CGstCaptureGraph::Run() {
    if (!m_bRendered) {
        return E_UNEXPECTED;
    }
    m_pSource->Prepare(m_format ? &*m_format : nullptr, m_buffering ? &*m_buffering : nullptr);
    // Device and file open on the way to PLAYING, so a failure to open shows
    // in the result at once. The sinks complete the change only with the
    // first buffer, which is not waited for: the recording runs from here.
    const GstStateChangeReturn result = gst_element_set_state(m_pPipeline.get(), GST_STATE_PLAYING);
    const std::string error = DrainBus(m_pPipeline.get());
    if (result == GST_STATE_CHANGE_FAILURE || !error.empty()) {
        KestrelTrace(kTag, "recording does not start: %s", error.c_str());
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
        return E_FAIL;
    }
    m_bRunning = true;
    return result == GST_STATE_CHANGE_ASYNC ? S_FALSE : S_OK;
}

MediaStatus CGstCaptureGraph::StopWhenReady() {
    if (!m_pPipeline) {
        return E_UNEXPECTED;
    }
    MediaStatus status = S_OK;
    if (m_bRunning) {
        m_bRunning = false;
        gst_element_send_event(m_pPipeline.get(), gst_event_new_eos());
        GstMessagePtr pMessage =
            WaitForBusMessage(m_pPipeline.get(), GST_MESSAGE_EOS, kEndOfStreamWait);
        if (!pMessage || GST_MESSAGE_TYPE(pMessage.get()) != GST_MESSAGE_EOS) {
            KestrelTrace(kTag, "the recording did not end cleanly; the file may be incomplete");
            status = S_FALSE;
        }
    }
    gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
    return status;
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
