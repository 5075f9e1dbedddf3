#pragma once

#include <string>

// One device as the media layer enumerated it: an audio capture device or an
// audio output. Only the back-end that enumerated it can bind it. The object
// stays valid after the device itself has gone; binding it then fails.
class CMediaDevice {
public:
    virtual ~CMediaDevice() = default;

    // The name shown to the user (GstDevice display name on Linux); UTF-8.
    virtual const std::string& DisplayName() const = 0;
};
