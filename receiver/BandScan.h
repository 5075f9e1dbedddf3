#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "presets/ScanStation.h"

class CReceiver;

// Where a band scan is: the channel under test (1-based) of how many, and
// the stations found so far.
struct SScanProgress {
    unsigned nFrequency = 0;
    int nChannel = 0;
    int nChannels = 0;
    int nFound = 0;
};

// A scan of the receiver's current band, channel by channel from its lower
// edge to its upper one, with the receiver's own station test, on a worker
// of its own. It only tests and collects: storing is the caller's, after the
// user confirmed, and so is tuning the listener's frequency again.
//
// Threads: Start() and Wait() on the UI thread; Cancel() from any thread; the
// callbacks come from the worker, one at a time, and must not wait for the
// UI thread (post to it). The receiver outlives the scan.
class CBandScan {
public:
    using FProgress = std::function<void(const SScanProgress&)>;
    // Once, after the last channel or the cancel: the worker's last call.
    using FEnd = std::function<void(bool bCancelled)>;

    CBandScan(CReceiver& receiver, std::chrono::milliseconds nameWait);
    ~CBandScan();

    CBandScan(const CBandScan&) = delete;
    CBandScan& operator=(const CBandScan&) = delete;

    // False when the receiver cannot scan now (not open).
    bool Start(FProgress onProgress, FEnd onEnd);
    // Stops within one dwell; what was found stays readable.
    void Cancel();
    // Waits for the worker; true when it ran to the band's end.
    bool Wait();
    bool IsRunning() const { return m_bRunning; }
    bool WasCancelled() const { return m_bCancelled; }
    int Band() const { return m_nBand; }
    // The stations found so far, in frequency order.
    std::vector<SScanStation> Stations() const;

private:
    void Run(FProgress onProgress, FEnd onEnd);

    CReceiver& m_receiver;
    const std::chrono::milliseconds m_nameWait;
    int m_nBand = 1;
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bCancelled{false};
    mutable std::mutex m_mutex;
    std::vector<SScanStation> m_stations;  // guarded by m_mutex
    std::thread m_worker;
};
