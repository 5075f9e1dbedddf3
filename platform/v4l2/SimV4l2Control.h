#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rds/RdsEncoder.h"
#include "platform/v4l2/V4l2Radio.h"

// A station on the air of the simulated radios.
struct SSimV4l2Station {
    uint32_t nHz = 0;
    bool bRds = true;
    CRdsEncoder::SStation rds;
};

// One simulated V4L2 radio as a test or demo mode lays it out. The defaults
// are vivid's: FM 64-108 MHz and AM 520-1710 kHz, a signal that falls to 0
// at 50 kHz (FM) or 5 kHz (AM) off a station, stereo within 25 kHz, RDS
// within 12.5 kHz.
struct SSimV4l2Layout {
    std::string strName = "Simulated FM/AM radio";
    std::string strId = "usb:1b3f:2247:SIM-V4L2";
    std::string strDriver = "kestrel-sim";
    // The name of its own sound card's capture device; empty for a line out.
    std::string strCaptureDevice;
    std::vector<SV4l2Band> bands = {
        {SV4l2Band::EModulation::Fm, 64'000'000, 108'000'000},
        {SV4l2Band::EModulation::Am, 520'000, 1'710'000},
    };
    bool bHardwareSeek = true;
    bool bSeekWraps = true;
    // vivid in Linux 6.1 answers a seek with success and stays where it was.
    bool bSeekMoves = true;
    bool bRds = true;
    bool bStereo = true;
    bool bMuteControl = true;
    bool bVolumeControl = true;
    // False: its node belongs to a group the user is not in.
    bool bAccessible = true;
    std::vector<SSimV4l2Station> stations;
    double dRdsBlocksPerSecond = 1187.5 / 26;
    // How long a hardware seek blocks before it answers.
    std::chrono::milliseconds seekTime{0};
};

// Drives the simulated V4L2 back-end: which radios exist and are plugged,
// what they are tuned to, and failures of the next calls.
//
// Contract: callable from any thread; radio ids are never reused.
class CSimV4l2Control {
public:
    enum class ECall {
        Open,
        SetFrequency,
        Frequency,
        Signal,
        HardwareSeek,
        SetMute,
        SetVolume,
        ReadRds
    };

    virtual ~CSimV4l2Control() = default;

    virtual int AddRadio(const SSimV4l2Layout& layout) = 0;
    virtual void Plug(int nId) = 0;
    // Out of the enumeration; every call on an open handle says Gone.
    virtual void Unplug(int nId) = 0;
    virtual bool IsPlugged(int nId) const = 0;
    virtual void SetStations(int nId, std::vector<SSimV4l2Station> stations) = 0;
    // The next nTimes calls fail with eStatus.
    virtual void FailNext(int nId, ECall eCall, EV4l2Status eStatus, int nTimes = 1) = 0;

    virtual uint32_t TunedHz(int nId) const = 0;
    virtual bool IsMuted(int nId) const = 0;
    virtual int Volume(int nId) const = 0;
    virtual int OpenHandles(int nId) const = 0;
    virtual int SeeksStarted(int nId) const = 0;
    // What the radio's own sound card hears now: the tuned station's
    // strength (0..1, 0 when muted) and its index in the stations, or -1.
    virtual double AudibleStrength(int nId, int& nStation) const = 0;
};
