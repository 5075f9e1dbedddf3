#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "receiver/Receiver.h"
#include "tuner/TuningSteps.h"

class CClock;
class CProfile;

// A station of the script: where it is, how it is received, what it sends.
struct SScriptedStation {
    int nBand = CReceiver::BAND_FM;
    unsigned nFrequency = 0;
    int nSignal = 80;  // 0..100
    bool bStereo = true;
    std::string strName;
    std::string strText;
    double dToneHz = 1000.0;  // what its audio plays
};

// A receiver of no real kind, for the tests: it tunes at once, seeks channel
// by channel on the clock it is given and stops on the first scripted
// station, reads the station's signal, stereo flag and names, and, like a
// radio with its own USB sound card, brings its own audio: while it is open a
// thread pushes the tuned station's tone (silence elsewhere or muted) into
// its feed in real time. What the core does with it must not depend on its
// being no HID receiver.
//
// As CReceiver says: UI-thread calls, a seek worker of its own. Plug() and
// Unplug() may come from any thread.
class CScriptedReceiver : public CReceiver {
public:
    CScriptedReceiver(CProfile& profile, CClock& clock, std::vector<SScriptedStation> stations,
                      bool bHasAm = true);
    ~CScriptedReceiver() override;

    void Plug() { m_bPlugged = true; }
    void Unplug() { m_bPlugged = false; }
    bool IsOpen() const { return m_pWindow.load() != nullptr; }

    int CountDevices() override;
    bool Open(CMessageTarget* pWindow) override;
    void Close() override;

    void LoadBandPlan() override;
    bool HasBand(int nBand) const override;
    CTuningSteps Steps(int nBand) const override;
    int Band() const override { return m_nBand; }
    void SetBand(int nBand) override { m_nBand = nBand; }
    unsigned Frequency(int nBand) const override;
    int ChannelFlag() const override { return m_nChannelFlag; }

    bool Tune(unsigned nFrequency, std::optional<int> channelFlag = std::nullopt) override;
    bool Retune() override;
    bool StartSeek(int nDirection) override;
    void CancelSeek() override;
    void JoinSeek() override;
    bool IsSeeking() const override { return m_bSeekThread; }
    void SetMute(int nMute) override { m_nMute = nMute; }
    int Mute() const override { return m_nMute; }
    bool BeginScan() override;
    std::optional<SChannelTest> TestChannel(unsigned nFrequency,
                                            std::chrono::milliseconds nameWait) override;
    void EndScan() override;

    SReceiverReading Reading() const override;
    void SetDisplay(CTextSink* pDisplay) override { m_pDisplay = pDisplay; }
    std::shared_ptr<CAudioFeed> AudioFeed() const override { return m_pFeed; }

private:
    const SScriptedStation* StationAt(int nBand, unsigned nFrequency) const;
    // Sets and publishes the frequency; under m_tuneMutex.
    void TuneLocked(unsigned nFrequency);
    void SeekProc(int nDirection);
    void AudioProc();
    void StopAudio();

    CProfile& m_profile;
    CClock& m_clock;
    const std::vector<SScriptedStation> m_stations;
    const bool m_bHasAm;
    std::atomic<bool> m_bPlugged{true};
    std::atomic<CMessageTarget*> m_pWindow{nullptr};
    CTextSink* m_pDisplay = nullptr;
    std::atomic<int> m_nBand{BAND_FM};
    std::atomic<unsigned> m_nFm{8750};
    std::atomic<unsigned> m_nAm{522};
    std::atomic<int> m_nChannelFlag{0};
    std::atomic<int> m_nMute{0};
    std::atomic<int> m_nAmStep{CTuningSteps::AM_STEP_9KHZ};
    std::atomic<int> m_nFmRange{CTuningSteps::FM_RANGE_JAPAN};

    std::mutex m_tuneMutex;       // a stop against the worker's tunes
    bool m_bSeekRunning = false;  // guarded by m_tuneMutex
    std::atomic<bool> m_bSeekThread{false};
    std::thread m_seekThread;
    bool m_bScanRunning = false;  // guarded by m_tuneMutex

    std::shared_ptr<CAudioFeed> m_pFeed;
    std::mutex m_audioMutex;
    std::condition_variable m_audioWake;
    bool m_bAudioStop = false;  // guarded by m_audioMutex
    std::thread m_audioThread;
};
