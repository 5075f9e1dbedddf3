#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/media/CaptureGraph.h"
#include "platform/media/GstCaptureSource.h"

class CAudioFeed;

// One pin of a simulated capture device.
struct SSimPin {
    std::string strName;
    EPinDirection eDirection = EPinDirection::Input;
    bool bDirectionFails = false;  // the pin cannot tell its direction
    bool bNameFails = false;       // the pin's name cannot be read
    bool bSwitchable = true;       // an input that can be switched into the recording mix
};

struct SSimCaptureDevice {
    std::string strName;
    std::vector<SSimPin> pins;
};

// What the last capture graph asked of its simulated source when it started.
struct SSimCaptureRequest {
    std::string strDevice;  // empty: no graph has started
    std::optional<SAudioFormat> format;
    std::optional<SCaptureBuffering> buffering;
};

// Drives and inspects the simulated media services (tests and demo mode).
// Layout calls take effect at the next enumeration. Called from the UI thread.
class CSimMediaControl {
public:
    virtual ~CSimMediaControl() = default;

    virtual void SetCaptureDevices(std::vector<SSimCaptureDevice> devices) = 0;
    virtual void SetRenderers(std::vector<std::string> names) = 0;
    // An unavailable enumerator fails both enumerations.
    virtual void SetEnumeratorAvailable(bool bAvailable) = 0;
    // Makes a GStreamer element factory ("avenc_wmav2", "asfmux", ...) look
    // uninstalled to the graphs made from now on.
    virtual void SetElementMissing(const std::string& strFactory, bool bMissing) = 0;
    // What reaches the capture inputs: the simulated receiver's audio (null:
    // silence). Graphs made while it is set keep reading it.
    virtual void SetCaptureFeed(std::shared_ptr<CAudioFeed> pFeed) = 0;
    // False plays to a null sink on the clock even where an output exists
    // (tests must not sound).
    virtual void SetRealAudioOutput(bool bReal) = 0;
    // While set, the record folder's disk reports no free space: with the
    // free-space watch on (the default), a start fails without making a file
    // and a running recording ends at its next buffer as on a full disk (its
    // file completed, the fault DiskFull).
    virtual void SetDiskFull(bool bFull) = 0;
    // The running recording meets the fault at its next buffer: DiskFull and
    // WriteError fail the file writer (no space left, I/O error), DeviceLost
    // the capture device. False when no recording runs (nothing happens).
    virtual bool FailRecording(ECaptureFault eFault) = 0;

    // Per pin of the device as laid out: true for an input switched on.
    virtual std::vector<bool> InputStates(int nDevice) const = 0;
    virtual SSimCaptureRequest LastCaptureRequest() const = 0;
    // The renderer the last playback graph was given; empty: default output.
    virtual std::string LastRenderer() const = 0;
};
