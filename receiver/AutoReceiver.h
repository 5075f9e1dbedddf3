#pragma once

#include <memory>
#include <vector>

#include "receiver/Receiver.h"

class CClock;
class CProfile;
class CReceiverFactory;

// The receiver that is plugged in, of whichever kind: while none is open it
// looks at the kinds in their order (the HID receiver first) and becomes the
// first one plugged in, made afresh from the profile; open, it is that one.
// So a listener who unplugs one radio and plugs in another kind is served
// without a restart.
//
// As CReceiver says; the factories, the profile and the clock outlive it.
class CAutoReceiver : public CReceiver {
public:
    CAutoReceiver(std::vector<CReceiverFactory*> factories, CProfile& profile, CClock& clock);
    ~CAutoReceiver() override;

    int CountDevices() override;
    bool Open(CMessageTarget* pWindow) override;
    void Close() override;

    void LoadBandPlan() override { m_pActive->LoadBandPlan(); }
    bool HasBand(int nBand) const override { return m_pActive->HasBand(nBand); }
    CTuningSteps Steps(int nBand) const override { return m_pActive->Steps(nBand); }
    int Band() const override { return m_pActive->Band(); }
    void SetBand(int nBand) override { m_pActive->SetBand(nBand); }
    unsigned Frequency(int nBand) const override { return m_pActive->Frequency(nBand); }
    int ChannelFlag() const override { return m_pActive->ChannelFlag(); }

    bool Tune(unsigned nFrequency, std::optional<int> channelFlag = std::nullopt) override {
        return m_pActive->Tune(nFrequency, channelFlag);
    }
    bool Retune() override { return m_pActive->Retune(); }
    bool StartSeek(int nDirection) override { return m_pActive->StartSeek(nDirection); }
    void CancelSeek() override { m_pActive->CancelSeek(); }
    void JoinSeek() override { m_pActive->JoinSeek(); }
    bool IsSeeking() const override { return m_pActive->IsSeeking(); }
    void SetMute(int nMute) override { m_pActive->SetMute(nMute); }
    int Mute() const override { return m_pActive->Mute(); }

    bool BeginScan() override { return m_pActive->BeginScan(); }
    std::optional<SChannelTest> TestChannel(unsigned nFrequency,
                                            std::chrono::milliseconds nameWait) override {
        return m_pActive->TestChannel(nFrequency, nameWait);
    }
    void EndScan() override { m_pActive->EndScan(); }
    SReceiverReading Reading() const override { return m_pActive->Reading(); }
    void SetDisplay(CTextSink* pDisplay) override;
    std::shared_ptr<CAudioFeed> AudioFeed() const override { return m_pActive->AudioFeed(); }
    std::vector<SReceiverDevice> Devices() override { return m_pActive->Devices(); }
    std::string Refusal() const override;
    SReceiverGaps AudioGaps() const override { return m_pActive->AudioGaps(); }

    // Which of the factories' kinds serves now.
    size_t ActiveKind() const { return m_nActive; }

private:
    // Becomes the receiver of kind nKind, made afresh from the profile,
    // keeping the band and the mute.
    void Become(size_t nKind);

    std::vector<CReceiverFactory*> m_factories;
    CProfile& m_profile;
    CClock& m_clock;
    // One of each kind, to count what is plugged in; the active one serves.
    std::vector<std::unique_ptr<CReceiver>> m_receivers;
    CReceiver* m_pActive = nullptr;
    size_t m_nActive = 0;
    bool m_bOpen = false;
    CTextSink* m_pDisplay = nullptr;
};
