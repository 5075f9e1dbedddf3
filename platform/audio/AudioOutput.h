#pragma once

#include <memory>
#include <string>

class CAudioFeed;

// A feed being played until it is destroyed.
class CAudioPlayback {
public:
    virtual ~CAudioPlayback() = default;
};

// Plays a feed through the default output: listening to a receiver that
// brings its own audio.
//
// Contract: UI thread. Play() fails with a message when the output cannot be
// opened; a playback reads the feed from its own thread and stops, joined,
// when destroyed. An output that fails later goes silent (and says so in the
// trace); the feed's other readers never notice.
class CAudioOutputServices {
public:
    virtual ~CAudioOutputServices() = default;

    virtual std::unique_ptr<CAudioPlayback> Play(std::shared_ptr<CAudioFeed> pFeed,
                                                 std::string& strWhy) = 0;
};
