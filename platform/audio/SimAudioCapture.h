#pragma once

#include <functional>
#include <map>
#include <mutex>

#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioFeed.h"

// Simulated sound cards: each capture device a source that fills frames on
// demand, pushed in real time in 10 ms periods.
class CSimAudioCaptureServices : public CAudioCaptureServices {
public:
    // Fills nFrames frames of the feed's format; called on the capture thread.
    using Source =
        std::function<void(int16_t* pFrames, size_t nFrames, const CAudioFeed::SFormat& format)>;

    void SetSource(const std::string& strDevice, Source source);
    // A capture device that fails: Start() says so, a running one ends.
    void Fail(const std::string& strDevice, const std::string& strWhy);
    int RunningCaptures() const;

    std::unique_ptr<CAudioCapture> Start(const std::string& strDevice,
                                         std::shared_ptr<CAudioFeed> pFeed,
                                         FailureHandler onFailure, std::string& strWhy) override;

private:
    class CCapture;
    struct SDevice {
        Source source;
        std::string strFailure;
    };
    // What the capture thread asks each period: the frames, or why it stops.
    bool Fill(const std::string& strDevice, int16_t* pFrames, size_t nFrames,
              const CAudioFeed::SFormat& format, std::string& strWhy);

    mutable std::mutex m_mutex;
    std::map<std::string, SDevice> m_devices;
    int m_nRunning = 0;
};
