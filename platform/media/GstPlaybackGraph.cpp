#include "platform/media/GstPlaybackGraph.h"

#include "platform/media/GstRendererDevice.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";
// Opening a local file, seeking in it and changing state are quick; the bound
// only keeps a wedged decoder from hanging the UI thread.
constexpr GstClockTime kStateWait = 5 * GST_SECOND;
// playbin's GstPlayFlags: audio only, with its software volume.
constexpr guint kPlayAudio = 0x02;
constexpr guint kPlaySoftVolume = 0x10;

}  // namespace

CGstPlaybackGraph::CGstPlaybackGraph(SinkFactory makeDefaultSink)
    : m_makeDefaultSink(std::move(makeDefaultSink)) {
    EnsureGstInit();
}

CGstPlaybackGraph::~CGstPlaybackGraph() {
    Teardown();
}

void CGstPlaybackGraph::Teardown() {
    if (m_pPipeline) {
        gst_element_set_state(m_pPipeline.get(), GST_STATE_NULL);
        m_pPipeline.reset();
    }
    m_stopTime = GST_CLOCK_TIME_NONE;
}

MediaStatus CGstPlaybackGraph::AddRenderer(const CMediaDevice& renderer) {
    const auto* pRenderer = dynamic_cast<const CGstRendererDevice*>(&renderer);
    if (!pRenderer) {
        return E_INVALIDARG;
    }
    GstElementPtr pSink = pRenderer->CreateSink();
    if (!pSink) {
        return E_FAIL;
    }
    m_pRendererSink = std::move(pSink);
    return S_OK;
}

MediaStatus CGstPlaybackGraph::RenderFile(const std::string& strPath) {
    Teardown();
    GError* pError = nullptr;
    GCharPtr pUri(gst_filename_to_uri(strPath.c_str(), &pError));
    if (!pUri) {
        KestrelTrace(kTag, "\"%s\" is no file name: %s", strPath.c_str(),
                     pError ? pError->message : "");
        g_clear_error(&pError);
        return E_INVALIDARG;
    }
    GstElementPtr pPlaybin = MakeOwnedElement("playbin", "Playback Graph");
    GstElementPtr pSink = m_pRendererSink ? std::move(m_pRendererSink) : m_makeDefaultSink();
    if (!pPlaybin || !pSink) {
        return E_NOINTERFACE;
    }
    g_object_set(pPlaybin.get(), "uri", pUri.get(), "flags", kPlayAudio | kPlaySoftVolume,
                 "audio-sink", pSink.get(), nullptr);
    m_pPipeline = std::move(pPlaybin);

    // Prerolling shows at once whether the file can be read and decoded.
    const MediaStatus status = ChangeState(GST_STATE_PAUSED);
    if (status != S_OK) {
        KestrelTrace(kTag, "\"%s\" cannot be played", strPath.c_str());
        Teardown();
        return MediaFailed(status) ? status : E_FAIL;
    }
    return S_OK;
}

MediaStatus CGstPlaybackGraph::ChangeState(GstState state) {
    GstStateChangeReturn result = gst_element_set_state(m_pPipeline.get(), state);
    if (result == GST_STATE_CHANGE_ASYNC) {
        result = gst_element_get_state(m_pPipeline.get(), nullptr, nullptr, kStateWait);
    }
    const std::string error = DrainBus(m_pPipeline.get());
    if (result == GST_STATE_CHANGE_FAILURE || !error.empty()) {
        return E_FAIL;
    }
    return result == GST_STATE_CHANGE_ASYNC ? S_FALSE : S_OK;
}

MediaStatus CGstPlaybackGraph::Run() {
    return m_pPipeline ? ChangeState(GST_STATE_PLAYING) : S_OK;
}

MediaStatus CGstPlaybackGraph::Pause() {
    return m_pPipeline ? ChangeState(GST_STATE_PAUSED) : S_OK;
}

// A stopped graph keeps its file and its position, ready to seek or run again.
MediaStatus CGstPlaybackGraph::Stop() {
    return m_pPipeline ? ChangeState(GST_STATE_PAUSED) : S_OK;
}

MediaStatus CGstPlaybackGraph::GetDuration(double& dSeconds) {
    gint64 nDuration = 0;
    if (!m_pPipeline ||
        !gst_element_query_duration(m_pPipeline.get(), GST_FORMAT_TIME, &nDuration)) {
        return E_FAIL;
    }
    dSeconds = ClockTimeToSeconds(nDuration);
    return S_OK;
}

MediaStatus CGstPlaybackGraph::GetPosition(double& dSeconds) {
    if (!m_pPipeline) {
        return E_FAIL;
    }
    // Nobody else reads the bus; the player polls here twice a second.
    DrainBus(m_pPipeline.get());
    gint64 nPosition = 0;
    if (!gst_element_query_position(m_pPipeline.get(), GST_FORMAT_TIME, &nPosition)) {
        return E_FAIL;
    }
    dSeconds = ClockTimeToSeconds(nPosition);
    return S_OK;
}

MediaStatus CGstPlaybackGraph::SeekTo(GstClockTime start, GstClockTime stop) {
    if (!m_pPipeline) {
        return E_FAIL;
    }
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    const GstSeekType stopType =
        GST_CLOCK_TIME_IS_VALID(stop) ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE;
    if (!gst_element_seek(m_pPipeline.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                          static_cast<gint64>(start), stopType,
                          static_cast<gint64>(GST_CLOCK_TIME_IS_VALID(stop) ? stop : 0))) {
        return E_FAIL;
    }
    // A flushing seek prerolls again; once done, the position reads the new place.
    gst_element_get_state(m_pPipeline.get(), nullptr, nullptr, kStateWait);
    return S_OK;
}

MediaStatus CGstPlaybackGraph::SetPosition(double dSeconds) {
    return SeekTo(SecondsToClockTime(dSeconds), m_stopTime);
}

MediaStatus CGstPlaybackGraph::SetStopTime(double dSeconds) {
    if (!m_pPipeline) {
        return E_FAIL;
    }
    gint64 nPosition = 0;
    gst_element_query_position(m_pPipeline.get(), GST_FORMAT_TIME, &nPosition);
    const GstClockTime stop = SecondsToClockTime(dSeconds);
    const MediaStatus status = SeekTo(static_cast<GstClockTime>(nPosition), stop);
    if (status == S_OK) {
        m_stopTime = stop;
    }
    return status;
}

MediaStatus CGstPlaybackGraph::GetStopTime(double& dSeconds) {
    if (!m_pPipeline) {
        return E_FAIL;
    }
    if (GST_CLOCK_TIME_IS_VALID(m_stopTime)) {
        dSeconds = ClockTimeToSeconds(static_cast<gint64>(m_stopTime));
        return S_OK;
    }
    return GetDuration(dSeconds);
}
