#pragma once

#include <memory>
#include <string>

#include "platform/media/GstCaptureDevice.h"

class CAudioFeed;

// The capture device of a pushed feed, for either GStreamer-based back-end:
// one output pin, no inputs to switch, the feed's own format until the graph
// asks for another.
class CFeedCaptureDevice : public CGstCaptureDevice {
public:
    explicit CFeedCaptureDevice(std::shared_ptr<CAudioFeed> pFeed);

    const std::string& DisplayName() const override { return m_strName; }
    std::unique_ptr<CGstCaptureSource> Bind() const override;

private:
    std::shared_ptr<CAudioFeed> m_pFeed;
    std::string m_strName;
};
