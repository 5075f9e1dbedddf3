#pragma once

#include "device/HidDevice.h"
#include "receiver/Receiver.h"
#include "tuner/Tuner.h"

class CClock;
class CHidServices;
class CProfile;

// The USB HID receiver with its PLL tuner: the tuner, then the device link it
// tunes through, made and destroyed in that order, each call forwarded to
// them as the radio has always made it.
//
// UI thread only, as CReceiver says; the tuner's seek worker and the link's
// read thread are theirs. The services, the profile and the clock must
// outlive it.
class CHidReceiver : public CReceiver {
public:
    CHidReceiver(CHidServices& hid, CProfile& profile, CClock& clock);
    // A seek still walking is ended before the link goes.
    ~CHidReceiver() override;

    int CountDevices() override;
    bool Open(CMessageTarget* pWindow) override;
    void Close() override;

    void LoadBandPlan() override;
    bool HasBand(int nBand) const override;
    CTuningSteps Steps(int nBand) const override;
    int Band() const override;
    void SetBand(int nBand) override;
    unsigned Frequency(int nBand) const override;
    int ChannelFlag() const override;

    bool Tune(unsigned nFrequency, std::optional<int> channelFlag = std::nullopt) override;
    bool Retune() override;
    bool StartSeek(int nDirection) override;
    void CancelSeek() override;
    void JoinSeek() override;
    bool IsSeeking() const override;
    void SetMute(int nMute) override;
    int Mute() const override;
    bool BeginScan() override;
    std::optional<SChannelTest> TestChannel(unsigned nFrequency,
                                            std::chrono::milliseconds nameWait) override;
    void EndScan() override;

    SReceiverReading Reading() const override;
    void SetDisplay(CTextSink* pDisplay) override;

    // For the tests of this receiver: its parts as they are.
    CTuner& Tuner() { return m_tuner; }
    CHidDevice& Device() { return m_device; }

private:
    CTuner m_tuner;
    CHidDevice m_device;
};
