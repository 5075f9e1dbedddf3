#pragma once

#include "platform/audio/AudioOutput.h"

// Listening through ALSA's default device (the sound server where there is one).
class CAlsaAudioOutputServices : public CAudioOutputServices {
public:
    explicit CAlsaAudioOutputServices(std::string strDevice = "default")
        : m_strDevice(std::move(strDevice)) {}

    std::unique_ptr<CAudioPlayback> Play(std::shared_ptr<CAudioFeed> pFeed,
                                         std::string& strWhy) override;

private:
    std::string m_strDevice;
};
