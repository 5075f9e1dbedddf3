#pragma once

#include <string>

#include "platform/media/MediaStatus.h"

class CMediaDevice;

// One playback graph: one file played to one audio output. Times in seconds.
//
// Contract: every call comes from one thread (the UI thread); the graph plays
// on threads of its own. Without AddRenderer() the default audio output
// plays; on a machine without any audio output the graph still runs on its
// clock, so that the position advances as it would. Reaching the end of the
// file leaves the graph running at its end.
class CPlaybackGraph {
public:
    virtual ~CPlaybackGraph() = default;

    // Makes this output the graph's renderer; call before RenderFile().
    virtual MediaStatus AddRenderer(const CMediaDevice& renderer) = 0;
    // Builds the graph for the file, stopped at its start. Fails for a missing
    // or unreadable file or one without a decoder; the graph then holds no
    // file and every query fails.
    virtual MediaStatus RenderFile(const std::string& strPath) = 0;

    virtual MediaStatus Run() = 0;
    virtual MediaStatus Pause() = 0;
    virtual MediaStatus Stop() = 0;

    // E_FAIL while not known (no file).
    virtual MediaStatus GetDuration(double& dSeconds) = 0;
    virtual MediaStatus GetPosition(double& dSeconds) = 0;
    // Returns when the new position has taken effect.
    virtual MediaStatus SetPosition(double dSeconds) = 0;
    virtual MediaStatus SetStopTime(double dSeconds) = 0;
    virtual MediaStatus GetStopTime(double& dSeconds) = 0;
};
