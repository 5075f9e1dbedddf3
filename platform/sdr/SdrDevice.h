#pragma once

#include <complex>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One SDR dongle that is plugged in.
struct SSdrDeviceInfo {
    std::string strId;      // "rtlsdr:00000001": driver and serial, from plug to plug
    std::string strName;    // the driver's label, for the options window
    std::string strDriver;  // "rtlsdr", "airspy", "hackrf"
    std::string strSerial;
};

// An open dongle streaming complex baseband around a centre frequency.
//
// Contract: Start() runs the IQ on the device's own thread: onIq gets each
// block in order with the samples lost before it (an overflow), and
// onFailure is called once from that thread when the device fails
// (unplugged) and the stream ends. Stop() (and the destructor) join that
// thread; nothing is called after it returned. SetCenter() may be called
// from any thread while streaming; the blocks after it are of the new centre.
class CSdrDevice {
public:
    using IqHandler = std::function<void(std::span<const std::complex<float>> iq, uint64_t nLost)>;
    using FailureHandler = std::function<void(const std::string& strWhy)>;

    virtual ~CSdrDevice() = default;

    virtual const SSdrDeviceInfo& Info() const = 0;
    virtual double SampleRate() const = 0;
    // What the tuner reaches, in Hz, as ranges.
    virtual std::vector<std::pair<double, double>> Ranges() const = 0;
    // What direct sampling reaches (an RTL-SDR's HF input, the AM bands),
    // in Hz; empty for a dongle without it.
    virtual std::vector<std::pair<double, double>> DirectRanges() const { return {}; }
    // On: the centre is set within DirectRanges(), off: within Ranges().
    virtual bool SetDirectSampling(bool bOn, std::string& strWhy) {
        if (!bOn) {
            return true;
        }
        strWhy = "the dongle has no direct sampling";
        return false;
    }
    // False for a source whose centre is fixed (a recording).
    virtual bool CanRetune() const { return true; }
    virtual bool SetCenter(double dHz, std::string& strWhy) = 0;
    virtual double Center() const = 0;
    // Nothing: the tuner's automatic gain.
    virtual bool SetGain(std::optional<double> dDb, std::string& strWhy) = 0;
    virtual bool SetCorrection(double dPpm, std::string& strWhy) = 0;

    virtual bool Start(IqHandler onIq, FailureHandler onFailure, std::string& strWhy) = 0;
    virtual void Stop() = 0;
};

// The SDR dongles: which are plugged in, and opening one.
//
// Contract: UI thread. Open() fails with a message naming the cause (busy,
// claimed by the kernel's DVB driver, gone, a rate it cannot do).
class CSdrServices {
public:
    virtual ~CSdrServices() = default;

    virtual std::vector<SSdrDeviceInfo> Enumerate() = 0;
    virtual std::unique_ptr<CSdrDevice> Open(const SSdrDeviceInfo& device, double dSampleRate,
                                             std::string& strWhy) = 0;
};
