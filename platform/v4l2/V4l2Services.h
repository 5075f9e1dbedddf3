#pragma once

#include <memory>
#include <string>
#include <vector>

class CV4l2Radio;

// One radio receiver that is plugged in.
struct SV4l2Device {
    std::string strNode;  // "/dev/radio0": changes from plug to plug
    std::string strName;  // the card's name, for the options window
    // What stays from plug to plug: "usb:10c4:818a:<serial>", or the bus
    // position for a device without a USB parent.
    std::string strId;
    // The ALSA capture device of the radio's own USB sound card
    // ("hw:CARD=Si470x,DEV=0"); empty for a radio with an analog line out.
    std::string strCaptureDevice;
    // Why the user may not open it ("/dev/radio0: Permission denied"); empty
    // for a radio the user can use.
    std::string strRefused;
};

// The kernel's V4L2 radio receivers: which are plugged in, and opening one.
//
// Contract: UI thread. Enumerate() lists receivers only (transmitters and
// video devices are left out) in a stable order, and those the user may not
// open with strRefused set. Open() fails with a message
// naming the cause (no permission, busy, gone, not a receiver).
class CV4l2Services {
public:
    virtual ~CV4l2Services() = default;

    virtual std::vector<SV4l2Device> Enumerate() = 0;
    virtual std::unique_ptr<CV4l2Radio> Open(const SV4l2Device& device, std::string& strWhy) = 0;
};
