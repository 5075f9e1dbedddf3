#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/posix/UniqueFd.h"
#include "platform/sdr/SdrDevice.h"
#include "platform/v4l2/V4l2Radio.h"
#include "sdr/AmDemod.h"
#include "sdr/ChannelMeter.h"
#include "sdr/FmStereoDemod.h"
#include "sdr/RdsDemod.h"

class CAudioFeed;

// Where a radio's demodulated audio goes: shared with the capture that
// attaches a feed, so that either may go first.
struct SSdrAudioSlot {
    std::mutex mutex;
    std::shared_ptr<CAudioFeed> pFeed;
};

// How a dongle is set up when it is opened, from the options and the plan.
struct SSdrRadioConfig {
    double dDeemphasisUs = 50;
    double dAmChannelHz = 9000;
    std::optional<double> gainDb;  // none: the tuner's automatic gain
    double dCorrectionPpm = 0;
    // An upconverter ahead of the dongle: AM at f is tuned at f plus this.
    // Zero: AM through direct sampling, where the dongle has it.
    double dUpconverterHz = 0;
};

// The audio lost on the way (the dongle overflowed), made up with silence:
// the radios' IQ threads add, anyone reads.
struct SSdrGapCount {
    std::atomic<uint64_t> nGaps{0};
    std::atomic<uint64_t> nFrames{0};  // of silence, at the audio rate
};

// An SDR dongle as a radio tuner: the tuner interface the V4L2 receiver
// drives, on the dongle's IQ demodulated inside Kestrel. A tune within the
// span moves only the demodulator; one outside it retunes the dongle a
// quarter of the rate above the station, off the DC spike. The signal is the
// station test's measure (channel power over the noise floor), stereo the
// pilot's lock, RDS the demodulator's blocks; the audio goes to the feed
// attached. AM (below 30 MHz) is heard through an upconverter when the
// options name one, else through the dongle's direct sampling; without
// either the radio has no AM band.
//
// Threads: the dongle's IQ thread demodulates; every call may come from any
// thread (CV4l2Radio's contract).
class CSdrRadio : public CV4l2Radio {
public:
    // Starts the stream; strWhy says why when it cannot.
    static std::unique_ptr<CSdrRadio> Open(std::unique_ptr<CSdrDevice> pDevice,
                                           const SSdrRadioConfig& config, std::string& strWhy,
                                           std::shared_ptr<SSdrGapCount> pGaps = nullptr);
    ~CSdrRadio() override;

    const SV4l2Caps& Caps() const override { return m_caps; }
    const std::vector<SV4l2Band>& Bands() const override { return m_bands; }
    EV4l2Status SetFrequency(uint32_t nHz, uint32_t& nTunedHz) override;
    EV4l2Status Frequency(uint32_t& nHz) override;
    EV4l2Status Signal(SV4l2Signal& signal) override;
    EV4l2Status HardwareSeek(bool, const SV4l2Band&) override { return EV4l2Status::Unsupported; }
    EV4l2Status SetMute(bool) override { return EV4l2Status::Unsupported; }
    EV4l2Status SetVolume(int) override { return EV4l2Status::Unsupported; }
    int PollFd() const override { return m_rdsReady.Get(); }
    EV4l2Status ReadRds(std::vector<SRdsBlock>& blocks) override;
    std::string LastError() const override;

    const std::shared_ptr<SSdrAudioSlot>& AudioSlot() const { return m_pSlot; }
    const SSdrDeviceInfo& Info() const { return m_pDevice->Info(); }
    const SSdrGapCount& Gaps() const { return *m_pGaps; }

    // The station test's measure is mapped onto the tuner's 0..65535: 0 dB
    // is nothing, kFullScaleDb and above is full.
    static constexpr double kFullScaleDb = 40;

private:
    CSdrRadio(std::unique_ptr<CSdrDevice> pDevice, const SSdrRadioConfig& config);
    void AddAmBand();
    // Where the dongle's centre goes for a station at nHz, and in which mode.
    bool Place(uint32_t nHz, bool bAm, double& dOffset, std::string& strWhy);
    void Demodulate(std::span<const std::complex<float>> iq, bool bMeter);
    void OnIq(std::span<const std::complex<float>> iq, uint64_t nLost);
    void OnFailure(const std::string& strWhy);
    void SetError(const std::string& strError);

    std::unique_ptr<CSdrDevice> m_pDevice;
    const SSdrRadioConfig m_config;
    SV4l2Caps m_caps;
    std::vector<SV4l2Band> m_bands;
    CUniqueFd m_rdsReady;  // eventfd: blocks wait
    std::atomic<bool> m_bGone{false};

    mutable std::mutex m_mutex;  // the chain, the tuning and what it found
    std::condition_variable m_fresh;
    // After the dongle retuned, the IQ still of the old centre (its buffers)
    // that the meter leaves out; a tune waits until it has passed.
    size_t m_nStale = 0;
    CFmStereoDemod m_demod;
    CRdsDemod m_rds;
    CChannelMeter m_meter;
    CAmDemod m_am;
    CChannelMeter m_amMeter;  // on the AM demodulator's baseband
    bool m_bAm = false;
    bool m_bDirect = false;
    std::shared_ptr<SSdrGapCount> m_pGaps = std::make_shared<SSdrGapCount>();
    double m_dCenter = 0;
    uint32_t m_nTunedHz = 0;
    std::vector<SRdsBlock> m_rdsBlocks;
    std::vector<float> m_audio;
    std::vector<int16_t> m_frames;  // the IQ thread's only
    const std::shared_ptr<SSdrAudioSlot> m_pSlot = std::make_shared<SSdrAudioSlot>();
    std::string m_strError;
};
