#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/profile/Profile.h"
#include "platform/profile/Settings.h"
#include "platform/window/TextSink.h"
#include "tuner/TuningSteps.h"

class CHidDevice;

// Band plan, frequency to PLL word, the 8-byte register image sent to the
// receiver on every tune, and the seek worker that steps and tests for a
// station.
//
// Threads: the UI thread and the seek worker both tune. One lock keeps each
// tune whole (image, output buffer, send); it is never held while the profile
// is written, the display text is set or WM_SEEK_FOUND is sent. The fields the
// two threads share are atomics.
class CTuner {
public:
    enum : int { BAND_AM = CTuningSteps::BAND_AM, BAND_FM = CTuningSteps::BAND_FM };
    enum : int {
        AM_STEP_10KHZ = CTuningSteps::AM_STEP_10KHZ,
        AM_STEP_9KHZ = CTuningSteps::AM_STEP_9KHZ
    };
    enum : int {
        FM_RANGE_JAPAN = CTuningSteps::FM_RANGE_JAPAN,
        FM_RANGE_WIDE = CTuningSteps::FM_RANGE_WIDE
    };
    enum : int { SEEK_DOWN = 1, SEEK_UP = 2, SEEK_NONE = 3 };
    enum : int { MODE_NORMAL = 0, MODE_SEEK_STEP = 1, MODE_IF_COUNT = 2 };

    CTuner(CProfile& profile, CClock& clock);
    virtual ~CTuner();

    CTuner(const CTuner&) = delete;
    CTuner& operator=(const CTuner&) = delete;

    void LoadBandPlan();
    void SetLimits();
    unsigned Wrap(unsigned frequency) const;
    uint16_t PllWord(unsigned frequency) const;
    bool Tune(unsigned frequency = 0);
    bool SendImage();
    void RequestStatus();
    void SetMute(int nFlag);

    bool StartSeek(int nDirection);
    bool StopSeek(unsigned frequency = 0);
    // Ends a running seek without tuning. Once it returns the worker changes
    // neither the frequency nor the channel flag: call it before the band, the
    // frequency or the flag is set from outside the worker.
    void CancelSeek();
    // The seek thread field: true from StartSeek until the worker's last act.
    bool HasSeekThread() const { return m_bSeekThread.load(); }
    // Stops a running seek and waits for its worker (before the tuner goes).
    void JoinSeek();

    // What the seek's station test found on one channel of a band scan.
    struct SStationTest {
        bool bStation = false;
        bool bStereo = false;
    };
    // The band scan: the seek's own station test and dwell, channel by
    // channel, from one scan worker. BeginScan() (after CancelSeek()) lets
    // TestChannel() tune; EndScan(), from any thread, makes a running test
    // return within one dwell and every later one at once, empty. The
    // caller tunes the listener's frequency again afterwards.
    void BeginScan();
    void EndScan();
    std::optional<SStationTest> TestChannel(unsigned frequency);

    // Current frequency of the current band.
    unsigned CurrentFrequency() const;
    void SetCurrentFrequency(unsigned frequency);
    // The last frequency of a band, whichever band is current.
    unsigned Frequency(int nBand) const;
    void SetFrequency(int nBand, unsigned frequency);
    // The display text of a frequency in the current band ("87.50MHz", "1629KHz").
    std::string FormatFrequency(unsigned frequency) const;

    // The state the windows show and change. Band, flag and frequency are set
    // from outside the worker only after CancelSeek() or StopSeek().
    int Band() const { return m_nBand; }
    void SetBand(int nBand) { m_nBand = nBand; }
    int ChannelFlag() const { return m_nChannelFlag; }
    void SetChannelFlag(int nFlag) { m_nChannelFlag = nFlag; }
    // How far the last measured station's IF lay inside the station window.
    int TuningOffset() const { return m_nTuningOffset; }
    int Mute() const { return m_nMute; }
    int TuningMode() const { return m_nTuningMode; }
    // Sets the mode of the next tune; the seek worker sets its own.
    void SetTuningMode(int nMode) { m_nTuningMode = nMode; }
    bool IsSeekRunning() const { return m_bSeekRunning != 0; }
    // The band plan: AM channel spacing, FM range, seek tolerance, limits.
    int AmStep() const { return m_nAmStep; }
    int FmRange() const { return m_nFmRange; }
    int Tolerance() const { return m_nTolerance; }
    unsigned LowerLimit(int nBand) const;
    unsigned UpperLimit(int nBand) const;
    // The channel spacing of the current band: 10 (FM's 100 kHz, AM's
    // 10 kHz) or 9.
    int ChannelStep() const;
    // The arithmetic of the current band plan, for the current band or another.
    CTuningSteps Steps() const { return Steps(m_nBand); }
    CTuningSteps Steps(int nBand) const { return CTuningSteps(nBand, {m_nAmStep, m_nFmRange}); }

    // Where the frequency text goes (may stay null) and which link the
    // images go through; set before the first tune.
    void SetDisplay(CTextSink* pDisplay) { m_pDisplay = pDisplay; }
    void SetDevice(CHidDevice* pDevice) { m_pDevice = pDevice; }

private:
    CTextSink* m_pDisplay = nullptr;
    std::atomic<int> m_nBand{BAND_FM};
    std::atomic<int> m_nAmStep{AM_STEP_9KHZ};
    std::atomic<int> m_nFmRange{FM_RANGE_JAPAN};
    std::atomic<int> m_nSeekDirection{SEEK_NONE};
    std::atomic<int> m_nTuningMode{MODE_NORMAL};
    std::atomic<int> m_nChannelFlag{1};
    std::atomic<int> m_nMute{0};
    std::atomic<int> m_bSeekRunning{0};
    std::atomic<int> m_bScanRunning{0};
    std::atomic<int> m_nTolerance{5};
    std::atomic<int> m_nTuningOffset{0};
    std::atomic<unsigned> m_nFmUpper{9000};
    std::atomic<unsigned> m_nFmLower{7600};
    std::atomic<unsigned> m_nAmUpper{1629};
    std::atomic<unsigned> m_nAmLower{522};
    std::atomic<unsigned> m_nFmFreq{8750};
    std::atomic<unsigned> m_nAmFreq{520};
    uint8_t m_image[8] = {};  // guarded by m_tuneMutex
    CHidDevice* m_pDevice = nullptr;

    // What a tune changed, published after the tune lock is released.
    struct STuned {
        uint64_t nGeneration;
        int nBand;
        unsigned frequency;
    };

    void SeekThreadProc();
    enum class ETest { Stopped, Silent, Station };
    // The seek's station test on the channel nStep from the current one, or
    // on nFrequency when it is not 0: the seek-step tune and its dwell, then
    // where there is a signal the IF count and a measured status.
    ETest TestStation(const std::atomic<int>& bRunning, int nStep, unsigned nFrequency);
    // The worker's tunes: done only while bRunning (the seek's or the scan's
    // flag) holds, decided under the tune lock, so a stop made between the
    // worker's flag test and its tune always wins. nFrequency, else nStep,
    // moves the current frequency first; a measured status report sets the
    // channel flag before the tune and the offset after it.
    bool SeekTune(const std::atomic<int>& bRunning, int nMode, int nStep,
                  const uint8_t* pStatus = nullptr, unsigned nFrequency = 0);
    bool SeekRequestStatus(const std::atomic<int>& bRunning);
    // The worker's own stop: tunes in normal mode only if no one stopped the
    // seek first. False when someone did.
    bool FinishSeek();
    void ClearSeekLocked();
    bool TuneLocked(unsigned frequency, STuned& tuned);
    void BuildImage(unsigned frequency);
    bool SendImageLocked();
    void Publish(const STuned& tuned);
    bool ReadStatus(uint8_t report[4]) const;
    bool InStationWindow(unsigned count) const;
    int TuningOffset(unsigned count) const;

    CSettings m_settings;
    CClock& m_clock;
    std::mutex m_tuneMutex;
    uint64_t m_nGeneration = 0;  // guarded by m_tuneMutex
    std::mutex m_publishMutex;
    uint64_t m_nPublished = 0;  // guarded by m_publishMutex
    std::mutex m_seekMutex;     // hands a new seek to a worker that is ending
    std::atomic<bool> m_bSeekThread{false};
    std::thread m_seekThread;  // UI thread only
};
