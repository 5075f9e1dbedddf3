#pragma once

#include <chrono>
#include <functional>
#include <mutex>

#include "platform/audio/AudioFeed.h"
#include "platform/audio/AudioOutput.h"

// A simulated speaker: it takes the feed as a sound card would, 10 ms at a
// time, and tells a test what it played.
class CSimAudioOutputServices : public CAudioOutputServices {
public:
    // Called on the playback thread with each period played.
    using Listener = std::function<void(const int16_t* pFrames, size_t nFrames)>;

    void SetListener(Listener listener);
    // Play() fails with this message while it is set.
    void SetFailure(std::string strWhy);
    int Playing() const;
    uint64_t FramesPlayed() const;

    std::unique_ptr<CAudioPlayback> Play(std::shared_ptr<CAudioFeed> pFeed,
                                         std::string& strWhy) override;

private:
    class CPlayback;
    void Played(const int16_t* pFrames, size_t nFrames);

    mutable std::mutex m_mutex;
    Listener m_listener;
    std::string m_strFailure;
    int m_nPlaying = 0;
    uint64_t m_nFramesPlayed = 0;
};
