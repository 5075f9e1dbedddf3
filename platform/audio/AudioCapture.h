#pragma once

#include <functional>
#include <memory>
#include <string>

class CAudioFeed;

// A sound card capture running into a feed until it is destroyed.
class CAudioCapture {
public:
    virtual ~CAudioCapture() = default;
};

// Opens a sound card's capture device once and pushes what it hears into a
// feed, converted to the feed's format.
//
// Contract: UI thread. Start() fails with a message (no such device, busy,
// no permission). A running capture writes from its own thread; when the
// device fails (unplugged) it stops, and onFailure is called once from that
// thread with the reason. Destroying the capture stops it and joins its
// thread; onFailure is never called after that.
class CAudioCaptureServices {
public:
    using FailureHandler = std::function<void(const std::string& strWhy)>;

    virtual ~CAudioCaptureServices() = default;

    virtual std::unique_ptr<CAudioCapture> Start(const std::string& strDevice,
                                                 std::shared_ptr<CAudioFeed> pFeed,
                                                 FailureHandler onFailure, std::string& strWhy) = 0;
};
