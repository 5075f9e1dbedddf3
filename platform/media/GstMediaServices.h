#pragma once

#include "platform/media/MediaServices.h"

// The media services on GStreamer: capture devices and outputs from
// GstDeviceMonitor (Audio/Source and Audio/Sink, display names in the
// monitor's order), input pins from the card's ALSA capture inputs, and the
// GStreamer capture and playback graphs. Playback without a matching output
// goes to the desktop's default output, or runs on the clock when there is
// none.
class CGstMediaServices : public CMediaServices {
public:
    CGstMediaServices();

    bool EnumerateCaptureDevices(MediaDeviceList& devices) override;
    bool EnumerateRenderers(MediaDeviceList& renderers) override;
    std::unique_ptr<CCaptureGraph> CreateCaptureGraph() override;
    std::unique_ptr<CPlaybackGraph> CreatePlaybackGraph() override;
    std::shared_ptr<const CMediaDevice> FeedDevice(std::shared_ptr<CAudioFeed> pFeed) override;
};
