#pragma once

#include <memory>

#include "receiver/Receiver.h"
#include "receiver/SdrRadioServices.h"
#include "receiver/V4l2Receiver.h"

class CAudioOutputServices;
class CClock;
class CProfile;
class CSdrServices;

// What an SDR receiver is made with; all of it outlives the receiver.
struct SSdrReceiverServices {
    CSdrServices& sdr;
    CAudioOutputServices& output;
    double dSampleRate = 2'400'000;  // what dongles are opened at
};

// An SDR dongle behind the receiver interface. The dongle is a radio tuner
// (CSdrRadio: Kestrel's own demodulator, station test and RDS), and the
// receiver is the V4L2 receiver's logic on it: the band plan on the
// dongle's FM range, channel and fine steps, Kestrel's own seek at the
// options' scan level, the meters, RDS, and the demodulated audio pushed to
// listening (while open and not muted) and recording. De-emphasis follows
// the plan: 75 us in the Americas, 50 elsewhere.
//
// Threads: those of CV4l2Receiver, and the dongle's IQ thread.
class CSdrReceiver : public CReceiver {
public:
    CSdrReceiver(const SSdrReceiverServices& services, CProfile& profile, CClock& clock);
    ~CSdrReceiver() override;

    int CountDevices() override { return m_receiver.CountDevices(); }
    bool Open(CMessageTarget* pWindow) override { return m_receiver.Open(pWindow); }
    void Close() override { m_receiver.Close(); }
    void LoadBandPlan() override { m_receiver.LoadBandPlan(); }
    bool HasBand(int nBand) const override { return m_receiver.HasBand(nBand); }
    CTuningSteps Steps(int nBand) const override { return m_receiver.Steps(nBand); }
    int Band() const override { return m_receiver.Band(); }
    void SetBand(int nBand) override { m_receiver.SetBand(nBand); }
    unsigned Frequency(int nBand) const override { return m_receiver.Frequency(nBand); }
    int ChannelFlag() const override { return m_receiver.ChannelFlag(); }
    bool Tune(unsigned nFrequency, std::optional<int> channelFlag = std::nullopt) override {
        return m_receiver.Tune(nFrequency, channelFlag);
    }
    bool Retune() override { return m_receiver.Retune(); }
    bool StartSeek(int nDirection) override { return m_receiver.StartSeek(nDirection); }
    void CancelSeek() override { m_receiver.CancelSeek(); }
    void JoinSeek() override { m_receiver.JoinSeek(); }
    bool IsSeeking() const override { return m_receiver.IsSeeking(); }
    void SetMute(int nMute) override { m_receiver.SetMute(nMute); }
    int Mute() const override { return m_receiver.Mute(); }
    bool BeginScan() override { return m_receiver.BeginScan(); }
    std::optional<SChannelTest> TestChannel(unsigned nFrequency,
                                            std::chrono::milliseconds nameWait) override {
        return m_receiver.TestChannel(nFrequency, nameWait);
    }
    void EndScan() override { m_receiver.EndScan(); }
    SReceiverReading Reading() const override { return m_receiver.Reading(); }
    void SetDisplay(CTextSink* pDisplay) override { m_receiver.SetDisplay(pDisplay); }
    std::shared_ptr<CAudioFeed> AudioFeed() const override { return m_receiver.AudioFeed(); }
    std::vector<SReceiverDevice> Devices() override { return m_receiver.Devices(); }
    SReceiverGaps AudioGaps() const override { return m_radios.Gaps(); }

private:
    CSdrRadioServices m_radios;
    CV4l2Receiver m_receiver;
};
