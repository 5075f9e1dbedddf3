#pragma once

#include "platform/audio/AudioCapture.h"

// A sound card's capture device through ALSA, read in periods on a poll loop.
class CAlsaAudioCaptureServices : public CAudioCaptureServices {
public:
    std::unique_ptr<CAudioCapture> Start(const std::string& strDevice,
                                         std::shared_ptr<CAudioFeed> pFeed,
                                         FailureHandler onFailure, std::string& strWhy) override;
};
