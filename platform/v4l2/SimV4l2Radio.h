#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include "platform/posix/UniqueFd.h"
#include "platform/v4l2/SimV4l2State.h"
#include "platform/v4l2/V4l2Radio.h"

// An open handle on a simulated radio: tunes the shared state, answers the
// signal from the stations laid out, and sends the tuned station's RDS at
// the layout's block rate (its poll descriptor ticks every 20 ms).
class CSimV4l2Radio : public CV4l2Radio {
public:
    explicit CSimV4l2Radio(std::shared_ptr<SSimV4l2State> pState);
    ~CSimV4l2Radio() override;

    const SV4l2Caps& Caps() const override { return m_caps; }
    const std::vector<SV4l2Band>& Bands() const override { return m_bands; }

    EV4l2Status SetFrequency(uint32_t nHz, uint32_t& nTunedHz) override;
    EV4l2Status Frequency(uint32_t& nHz) override;
    EV4l2Status Signal(SV4l2Signal& signal) override;
    EV4l2Status HardwareSeek(bool bUp, const SV4l2Band& band) override;
    EV4l2Status SetMute(bool bMute) override;
    EV4l2Status SetVolume(int nPercent) override;

    int PollFd() const override { return m_caps.bRds ? m_tick.Get() : -1; }
    EV4l2Status ReadRds(std::vector<SRdsBlock>& blocks) override;
    std::string LastError() const override;

private:
    // Ok, or the failure the control asked for, or Gone. Locked.
    EV4l2Status Check(CSimV4l2Control::ECall eCall);

    const std::shared_ptr<SSimV4l2State> m_pState;
    SV4l2Caps m_caps;
    std::vector<SV4l2Band> m_bands;
    CUniqueFd m_tick;  // timerfd

    std::mutex m_rdsMutex;
    std::chrono::steady_clock::time_point m_lastRds;
    double m_dBlocksDue = 0;
    size_t m_nNextBlock = 0;
    uint32_t m_nRdsHz = 0;
    mutable std::mutex m_errorMutex;
    std::string m_strLastError;
};
