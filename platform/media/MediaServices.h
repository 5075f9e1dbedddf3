#pragma once

#include <memory>
#include <vector>

#include "platform/media/CaptureGraph.h"
#include "platform/media/MediaDevice.h"
#include "platform/media/PlaybackGraph.h"

class CAudioFeed;

using MediaDeviceList = std::vector<std::shared_ptr<const CMediaDevice>>;

// The media graph services: the audio devices present, and graphs that record
// from a capture device or play a file.
//
// Contract: called from the UI thread. Enumerations return the devices in the
// enumerator's own order, which is stable while the devices stay. A false
// return means the enumerator itself is not available; the list is then left
// as it was. A graph that cannot be created is null.
class CMediaServices {
public:
    virtual ~CMediaServices() = default;

    virtual bool EnumerateCaptureDevices(MediaDeviceList& devices) = 0;
    virtual bool EnumerateRenderers(MediaDeviceList& renderers) = 0;
    virtual std::unique_ptr<CCaptureGraph> CreateCaptureGraph() = 0;
    virtual std::unique_ptr<CPlaybackGraph> CreatePlaybackGraph() = 0;
    // A capture device that records what is pushed into the feed: no input
    // pins, the feed's format converted to what the graph asks for.
    virtual std::shared_ptr<const CMediaDevice> FeedDevice(std::shared_ptr<CAudioFeed> pFeed) = 0;
};
