#pragma once

#include <gst/app/gstappsrc.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/AudioFeed.h"
#include "platform/media/CaptureGraph.h"
#include "platform/media/GstSupport.h"

// A capture source's live audio from a pushed feed: a bin of appsrc !
// audioconvert ! audioresample ! capsfilter that hands on what the feed
// gets, converted to the format the graph asks for, in blocks of 16-bit
// interleaved frames stamped from 0. Time goes on when the feed is late or
// lost frames: the gap is filled with silence of its true length, so that a
// recording keeps its length.
class CFeedAudioStream {
public:
    // Null when an element is not installed.
    static std::unique_ptr<CFeedAudioStream> Create(std::shared_ptr<CAudioFeed> pFeed,
                                                    const char* name);

private:
    struct SPasskey {
        explicit SPasskey() = default;
    };

public:
    // Through Create() only.
    CFeedAudioStream(SPasskey, std::shared_ptr<CAudioFeed> pFeed);
    ~CFeedAudioStream();

    CFeedAudioStream(const CFeedAudioStream&) = delete;
    CFeedAudioStream& operator=(const CFeedAudioStream&) = delete;

    GstElement* Element() const { return m_pBin.get(); }
    // Before the stream starts: the format to hand on (null: the feed's).
    // Reading starts here, so that nothing older is recorded.
    void Configure(const SAudioFormat* pFormat);
    // Frames of silence put in for what the feed did not bring in time.
    uint64_t SilentFrames() const;

private:
    static void OnNeedData(GstAppSrc* pAppSrc, guint nLength, gpointer pUserData);
    void PushBlock(GstAppSrc* pAppSrc);

    std::shared_ptr<CAudioFeed> m_pFeed;
    GstElementPtr m_pBin;
    GstElement* m_pCaps = nullptr;  // owned by the bin

    mutable std::mutex m_mutex;
    std::unique_ptr<CAudioFeed::CReader> m_pReader;  // guarded by m_mutex
    uint64_t m_nSilentFrames = 0;                    // guarded by m_mutex

    // Streaming thread only.
    std::vector<int16_t> m_block;
    uint64_t m_nFramesOut = 0;
};
