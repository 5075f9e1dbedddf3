#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tuner/TuningSteps.h"

class CAudioFeed;
class CMessageTarget;
class CTextSink;

// What the meters, the banner and the outside show of the station tuned.
struct SReceiverReading {
    int nSignal = 0;       // 0..100
    int nChannelFlag = 0;  // 1: the channel indicator's half mark (mono)
    bool bStereo = false;
    std::string strStation;    // a name the station sends (RDS PS); empty without
    std::string strRadioText;  // what it says (RDS RT); empty without
    // What went wrong with the receiver last, for the user; empty when all is well.
    std::string strProblem;
};

// Audio a receiver lost on the way (a dongle's overflow) and made up with
// silence of the true length, counted from its making.
struct SReceiverGaps {
    uint64_t nGaps = 0;
    uint64_t nFrames = 0;  // at 48 kHz
};

// What the station test found on one channel of a band scan.
struct SChannelTest {
    bool bStation = false;
    int nSignal = 0;  // 0..100
    bool bStereo = false;
    std::string strStation;  // the name it sends (RDS PS), when it came in time
};

// One of several receivers of the kind that are plugged in, for the options.
struct SReceiverDevice {
    std::string strId;  // what SET/RECEIVERDEVICE keeps
    std::string strName;
};

// What the radio asks of a receiver, whatever its kind: presence, the band
// plan and which bands it has, tuning, seeking, mute, the reading for the
// meters, the display and where its audio comes from. The core owns one and
// reaches it through these operations only; no window asks which kind it is.
//
// Threads: every call comes from the UI thread. A receiver's own threads (a
// seek worker, a device link) write the display and, while open, post and
// send to the window given to Open(): WM_DEVICE_REPORT, and WM_SEEK_FOUND
// (sent: the worker waits for the window) when a seek stopped on a station.
// Once Close() or CancelSeek() returned, a seek changes neither the band, the
// frequency nor the channel flag, and a cancelled seek's result is never
// tuned or sent; after Close() nothing more is sent to the window.
class CReceiver {
public:
    enum : int { BAND_AM = CTuningSteps::BAND_AM, BAND_FM = CTuningSteps::BAND_FM };
    enum : int { SEEK_DOWN = 1, SEEK_UP = 2 };

    virtual ~CReceiver() = default;

    // Presence: how many of this receiver are plugged in; Open() takes the
    // first, with the window that gets its notices.
    virtual int CountDevices() = 0;
    virtual bool Open(CMessageTarget* pWindow) = 0;
    virtual void Close() = 0;

    // The band plan of the profile's standard, as far as the device has it.
    virtual void LoadBandPlan() = 0;
    virtual bool HasBand(int nBand) const = 0;
    virtual CTuningSteps Steps(int nBand) const = 0;
    virtual int Band() const = 0;
    // After CancelSeek(): the band's own frequency stays where it was.
    virtual void SetBand(int nBand) = 0;
    // The last frequency of a band, published to the profile.
    virtual unsigned Frequency(int nBand) const = 0;
    virtual int ChannelFlag() const = 0;

    // Ends a running seek and tunes nFrequency of the current band (folded
    // into it), with the channel flag when one is given.
    virtual bool Tune(unsigned nFrequency, std::optional<int> channelFlag = std::nullopt) = 0;
    // Ends a running seek and tunes the current frequency again (after the
    // band plan or the mute changed).
    virtual bool Retune() = 0;
    virtual bool StartSeek(int nDirection) = 0;
    virtual void CancelSeek() = 0;
    // Stops a running seek and waits for its worker (before the receiver goes).
    virtual void JoinSeek() = 0;
    // From StartSeek() until the seek's last act.
    virtual bool IsSeeking() const = 0;
    // Retunes with the receiver muted or not.
    virtual void SetMute(int nMute) = 0;
    virtual int Mute() const = 0;

    // The band scan: the seek's own station test and dwell at the options'
    // scan level, channel by channel. BeginScan() (UI thread) ends a seek;
    // then one scan worker calls TestChannel() for channels of the current
    // band: it tunes the channel, tests it and, on a station that sends RDS,
    // waits up to nameWait for its name. EndScan(), from any thread, makes a
    // running TestChannel() return within one dwell and every later one at
    // once, empty, as when the device went. The caller tunes the listener's
    // frequency again once the worker ended.
    virtual bool BeginScan() = 0;
    virtual std::optional<SChannelTest> TestChannel(unsigned nFrequency,
                                                    std::chrono::milliseconds nameWait) = 0;
    virtual void EndScan() = 0;

    virtual SReceiverReading Reading() const = 0;
    // Where the frequency text goes; set before the first tune, may be null.
    virtual void SetDisplay(CTextSink* pDisplay) = 0;
    // Null: the receiver's audio comes through the sound card input chosen in
    // the options. Otherwise the receiver brings its own, pushed here while
    // it is open.
    virtual std::shared_ptr<CAudioFeed> AudioFeed() const { return nullptr; }
    // The receivers of this kind plugged in, when the user may choose among
    // them (SET/RECEIVERDEVICE); empty for a kind with only one.
    virtual std::vector<SReceiverDevice> Devices() { return {}; }
    // Why a receiver that is plugged in may not be used (its node's
    // permissions), as the last CountDevices() found it; empty when none is
    // plugged or one is usable. UI thread.
    virtual std::string Refusal() const { return {}; }
    // Any thread; none for a kind whose audio cannot be lost on the way.
    virtual SReceiverGaps AudioGaps() const { return {}; }
};
