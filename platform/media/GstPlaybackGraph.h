#pragma once

#include <functional>

#include "platform/media/GstSupport.h"
#include "platform/media/PlaybackGraph.h"

// The playback graph on a playbin (audio only), playing to the renderer added
// or else to the default output that the back-end makes.
class CGstPlaybackGraph : public CPlaybackGraph {
public:
    using SinkFactory = std::function<GstElementPtr()>;

    explicit CGstPlaybackGraph(SinkFactory makeDefaultSink);
    ~CGstPlaybackGraph() override;

    CGstPlaybackGraph(const CGstPlaybackGraph&) = delete;
    CGstPlaybackGraph& operator=(const CGstPlaybackGraph&) = delete;

    MediaStatus AddRenderer(const CMediaDevice& renderer) override;
    MediaStatus RenderFile(const std::string& strPath) override;
    MediaStatus Run() override;
    MediaStatus Pause() override;
    MediaStatus Stop() override;
    MediaStatus GetDuration(double& dSeconds) override;
    MediaStatus GetPosition(double& dSeconds) override;
    MediaStatus SetPosition(double dSeconds) override;
    MediaStatus SetStopTime(double dSeconds) override;
    MediaStatus GetStopTime(double& dSeconds) override;

private:
    // Changes the state and waits (bounded) until it is reached.
    MediaStatus ChangeState(GstState state);
    MediaStatus SeekTo(GstClockTime start, GstClockTime stop);
    void Teardown();

    SinkFactory m_makeDefaultSink;
    GstElementPtr m_pRendererSink;  // until RenderFile hands it to the pipeline
    GstElementPtr m_pPipeline;      // null while no file is rendered
    GstClockTime m_stopTime = GST_CLOCK_TIME_NONE;
};
