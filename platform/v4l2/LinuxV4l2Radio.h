#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/posix/UniqueFd.h"
#include "platform/v4l2/V4l2Radio.h"

// A V4L2 radio receiver on its device node, by the kernel's ioctls: one
// non-blocking handle for tuning, controls and RDS, and a blocking one for
// the hardware seek (a non-blocking handle would only say EAGAIN).
class CLinuxV4l2Radio : public CV4l2Radio {
public:
    // Null with strWhy set when the node cannot be opened or is no receiver.
    // pError, when given, gets open()'s errno (0 when the node opened).
    static std::unique_ptr<CLinuxV4l2Radio> Open(const std::string& strNode, std::string& strWhy,
                                                 int* pError = nullptr);

    const SV4l2Caps& Caps() const override { return m_caps; }
    const std::vector<SV4l2Band>& Bands() const override { return m_bands; }

    EV4l2Status SetFrequency(uint32_t nHz, uint32_t& nTunedHz) override;
    EV4l2Status Frequency(uint32_t& nHz) override;
    EV4l2Status Signal(SV4l2Signal& signal) override;
    EV4l2Status HardwareSeek(bool bUp, const SV4l2Band& band) override;
    EV4l2Status SetMute(bool bMute) override;
    EV4l2Status SetVolume(int nPercent) override;

    int PollFd() const override { return m_caps.bRds ? m_fd.Get() : -1; }
    EV4l2Status ReadRds(std::vector<SRdsBlock>& blocks) override;
    std::string LastError() const override;

private:
    CLinuxV4l2Radio(std::string strNode, CUniqueFd fd)
        : m_strNode(std::move(strNode)), m_fd(std::move(fd)) {}

    bool Identify(std::string& strWhy);
    void ReadBands(uint32_t nTunerCapability, uint32_t nLow, uint32_t nHigh);
    bool HasControl(uint32_t nId, int& nMinimum, int& nMaximum) const;
    // The ioctl's outcome; a failure is kept for LastError().
    EV4l2Status Result(int nResult, const char* pCall, bool bSeek = false);
    uint32_t ToUnits(uint32_t nHz) const;
    uint32_t ToHz(uint32_t nUnits) const;

    const std::string m_strNode;
    CUniqueFd m_fd;
    CUniqueFd m_seekFd;
    SV4l2Caps m_caps;
    std::vector<SV4l2Band> m_bands;
    uint32_t m_nUnitCapability = 0;  // V4L2_TUNER_CAP_LOW or _1HZ, or neither (62.5 kHz)
    int m_nVolumeMinimum = 0;
    int m_nVolumeMaximum = 0;
    mutable std::mutex m_errorMutex;
    std::string m_strLastError;
};
