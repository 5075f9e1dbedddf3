#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rds/RdsBlock.h"

// How a call on a V4L2 radio went, as a caller must tell it apart.
enum class EV4l2Status {
    Ok,
    NoStation,    // a seek found nothing (ENODATA, or EAGAIN from a timed-out seek)
    Busy,         // another seek or another program holds the tuner (EBUSY)
    Gone,         // the device was unplugged (ENODEV)
    Unsupported,  // the device lacks it (EINVAL, ENOTTY on a control or a seek)
    Failed,       // anything else; LastError() says what
};

// One of the bands a radio tunes, in Hz.
struct SV4l2Band {
    enum class EModulation { Fm, Am };
    EModulation eModulation = EModulation::Fm;
    uint32_t nLowHz = 0;
    uint32_t nHighHz = 0;
};

// What a radio can do, read when it was opened.
struct SV4l2Caps {
    std::string strCard;    // the driver's name for it ("Silicon Labs Si470x FM Radio")
    std::string strDriver;  // "radio-si470x", "vivid"
    std::string strBusInfo;
    bool bHardwareSeek = false;  // V4L2_CAP_HW_FREQ_SEEK, with a handle that can block
    bool bSeekWraps = false;     // the hardware seek wraps at the band's edge
    bool bRds = false;           // RDS blocks by read()
    bool bStereo = false;
    bool bMuteControl = false;
    bool bVolumeControl = false;
};

// The tuner's view of the station tuned.
struct SV4l2Signal {
    unsigned nStrength = 0;  // 0..65535
    bool bStereo = false;    // rxsubchans: the pilot is there
    bool bRds = false;       // rxsubchans: RDS is there
};

// One open V4L2 radio receiver (/dev/radioN).
//
// Contract: every call may come from any thread, at the same time as the
// others (the seek worker blocks in HardwareSeek() while the UI thread reads
// the signal and the RDS thread reads blocks). After the device went, every
// call returns Gone and PollFd() polls hung up or readable.
class CV4l2Radio {
public:
    virtual ~CV4l2Radio() = default;

    virtual const SV4l2Caps& Caps() const = 0;
    virtual const std::vector<SV4l2Band>& Bands() const = 0;

    // Tunes, and gives the frequency the device took (the closest it can).
    virtual EV4l2Status SetFrequency(uint32_t nHz, uint32_t& nTunedHz) = 0;
    virtual EV4l2Status Frequency(uint32_t& nHz) = 0;
    virtual EV4l2Status Signal(SV4l2Signal& signal) = 0;
    // Blocks until the device stopped on a station within the band (or found
    // none); it cannot be interrupted. The frequency reached is Frequency().
    virtual EV4l2Status HardwareSeek(bool bUp, const SV4l2Band& band) = 0;
    virtual EV4l2Status SetMute(bool bMute) = 0;
    // 0..100 of the device's range.
    virtual EV4l2Status SetVolume(int nPercent) = 0;

    // Readable when RDS blocks wait, hung up once the device went; -1 without RDS.
    virtual int PollFd() const = 0;
    // The blocks waiting (none is Ok); never blocks.
    virtual EV4l2Status ReadRds(std::vector<SRdsBlock>& blocks) = 0;

    // What the last failure said (errno's text and the call), for messages.
    virtual std::string LastError() const = 0;
};
