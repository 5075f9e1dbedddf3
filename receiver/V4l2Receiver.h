#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/posix/PollLoop.h"
#include "platform/profile/Settings.h"
#include "platform/rds/RdsDecoder.h"
#include "platform/v4l2/V4l2Radio.h"
#include "platform/v4l2/V4l2Services.h"
#include "receiver/Receiver.h"

class CAudioCapture;
class CAudioCaptureServices;
class CAudioOutputServices;
class CAudioPlayback;
class CClock;
class CProfile;

// What a V4L2 receiver is made with; all of it outlives the receiver.
struct SV4l2ReceiverServices {
    CV4l2Services& v4l2;
    CAudioCaptureServices& capture;
    CAudioOutputServices& output;
};

// A kernel V4L2 radio tuner (/dev/radioN) behind the receiver interface: the
// profile's band plan on the bands the device has, the channel and fine
// steps, a seek by the device's hardware where it has one and otherwise by
// Kestrel's own station test (signal and stereo at the options' scan level),
// the meters and RDS from the tuner, and the radio's own USB sound card
// opened once and pushed to listening and recording.
//
// Threads, beyond CReceiver's: a seek worker, and a status loop that reads
// RDS and watches the signal while the radio is open; it posts
// WM_DEVICE_REPORT (DEVICE_REPORT_READING) when what the meters or the
// banner show changed, and WM_DEVICECHANGE when the device went. A hardware
// seek cannot be interrupted: a cancelled one's result is discarded and the
// radio put back on the receiver's frequency.
class CV4l2Receiver : public CReceiver {
public:
    CV4l2Receiver(const SV4l2ReceiverServices& services, CProfile& profile, CClock& clock);
    ~CV4l2Receiver() override;

    int CountDevices() override;
    bool Open(CMessageTarget* pWindow) override;
    void Close() override;

    void LoadBandPlan() override;
    bool HasBand(int nBand) const override;
    CTuningSteps Steps(int nBand) const override;
    int Band() const override { return m_nBand; }
    void SetBand(int nBand) override;
    unsigned Frequency(int nBand) const override;
    int ChannelFlag() const override { return m_nChannelFlag; }

    bool Tune(unsigned nFrequency, std::optional<int> channelFlag = std::nullopt) override;
    bool Retune() override;
    bool StartSeek(int nDirection) override;
    void CancelSeek() override;
    void JoinSeek() override;
    bool IsSeeking() const override { return m_bSeekThread; }
    void SetMute(int nMute) override;
    int Mute() const override { return m_nMute; }
    bool BeginScan() override;
    std::optional<SChannelTest> TestChannel(unsigned nFrequency,
                                            std::chrono::milliseconds nameWait) override;
    void EndScan() override;

    SReceiverReading Reading() const override;
    void SetDisplay(CTextSink* pDisplay) override;
    std::shared_ptr<CAudioFeed> AudioFeed() const override;
    std::vector<SReceiverDevice> Devices() override;
    std::string Refusal() const override;

private:
    struct STuned {
        unsigned nGeneration = 0;
        int nBand = BAND_FM;
        unsigned nFrequency = 0;
    };

    // The plugged radio SET/RECEIVERDEVICE names, else the first.
    std::optional<SV4l2Device> ChooseDevice();
    // The radios the user may open; the others' refusals are kept.
    std::vector<SV4l2Device> UsableDevices();
    // The device's band for one of ours, or null when it has none.
    const SV4l2Band* DeviceBand(int nBand) const;
    uint32_t ToHz(int nBand, unsigned nFrequency) const;
    unsigned FromHz(int nBand, uint32_t nHz) const;

    // Under m_tuneMutex: the device tuned to nFrequency of the current band
    // (0: the current one), folded into the plan and the device's band.
    bool TuneLocked(unsigned nFrequency, STuned& tuned);
    // The device's band may be narrower than the plan's: the closest it has.
    unsigned IntoDeviceBand(int nBand, unsigned nFrequency) const;
    void Publish(const STuned& tuned);
    void ClearSeekLocked();
    void SetProblem(const std::string& strProblem);
    void SetAudioProblem(const std::string& strProblem);
    void ReportStatus(EV4l2Status eStatus, const char* pWhat);

    void StartAudio();
    void StopAudio();
    void StartListening();

    void SeekProc();
    // One seek; false when it was cancelled.
    bool HardwareSeek(bool bUp, bool& bFallBack);
    bool OwnSeek();
    bool IsStation(const SV4l2Signal& signal) const;
    void FoundStation();
    // The station's RDS name within nameWait of this clock; empty without.
    std::string WaitForName(std::chrono::milliseconds nameWait);

    void StatusLoop(CPollLoop& loop);
    void PostToWindow(uint32_t nMessage, uintptr_t wParam);

    const SV4l2ReceiverServices m_services;
    CSettings m_settings;
    CClock& m_clock;
    const std::shared_ptr<CAudioFeed> m_pFeed;

    // The radio and the device it is; set and reset on the UI thread while
    // no other thread runs.
    // Shared with a seek worker that may still finish after Close().
    std::shared_ptr<CV4l2Radio> m_pRadio;
    SV4l2Device m_device;
    bool m_bOwnAudio = true;

    std::atomic<CMessageTarget*> m_pWindow{nullptr};
    std::mutex m_displayMutex;
    CTextSink* m_pDisplay = nullptr;

    // Tuning state: written under m_tuneMutex, read anywhere.
    std::mutex m_tuneMutex;
    CTuningSteps::SPlan m_plan;
    int m_nScanLevel = 1;
    std::atomic<int> m_nBand{BAND_FM};
    std::array<std::atomic<unsigned>, 2> m_frequency{};
    std::atomic<int> m_nChannelFlag{0};
    std::atomic<int> m_nMute{0};
    unsigned m_nGeneration = 0;
    std::mutex m_publishMutex;
    unsigned m_nPublished = 0;

    // The seek: the worker serves a request while m_bSeekRunning holds, and
    // takes nothing once CancelSeek() cleared it.
    std::atomic<bool> m_bSeekRunning{false};
    std::atomic<int> m_nSeekDirection{SEEK_UP};
    std::atomic<bool> m_bSeekThread{false};
    std::mutex m_seekMutex;
    std::thread m_seekThread;
    // The band scan: its worker tunes while this holds.
    std::atomic<bool> m_bScanRunning{false};

    // RDS and the signal the status loop last told the window about.
    mutable std::mutex m_rdsMutex;
    CRdsDecoder m_rds;
    int m_nToldSignal = -1;
    bool m_bToldStereo = false;
    std::string m_strProblem;       // the tuner's, until it tunes again
    std::string m_strAudioProblem;  // its sound card's, until it opens again
    std::string m_strRefusal;       // UI thread
    CPollLoop m_statusLoop;

    std::unique_ptr<CAudioCapture> m_pCapture;
    std::unique_ptr<CAudioPlayback> m_pListening;
};
