#include "platform/v4l2/LinuxV4l2Radio.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

int Ioctl(int fd, unsigned long nRequest, void* pArgument) {
    int nResult;
    do {
        nResult = ::ioctl(fd, nRequest, pArgument);
    } while (nResult < 0 && errno == EINTR);
    return nResult;
}

std::string Text(const __u8* pBytes, size_t nSize) {
    const auto* pChars = reinterpret_cast<const char*>(pBytes);
    return std::string(pChars, strnlen(pChars, nSize));
}

constexpr uint32_t kFmLowestHz = 30'000'000;

SV4l2Band::EModulation ModulationOf(uint32_t nModulation, uint32_t nLowHz) {
    if (nModulation & V4L2_BAND_MODULATION_FM) {
        return SV4l2Band::EModulation::Fm;
    }
    if (nModulation & V4L2_BAND_MODULATION_AM) {
        return SV4l2Band::EModulation::Am;
    }
    return nLowHz >= kFmLowestHz ? SV4l2Band::EModulation::Fm : SV4l2Band::EModulation::Am;
}

}  // namespace

std::unique_ptr<CLinuxV4l2Radio> CLinuxV4l2Radio::Open(const std::string& strNode,
                                                       std::string& strWhy, int* pError) {
    CUniqueFd fd(::open(strNode.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    const int nError = fd.IsValid() ? 0 : errno;
    if (pError) {
        *pError = nError;
    }
    if (!fd.IsValid()) {
        strWhy = strNode + ": " + std::strerror(nError);
        return nullptr;
    }
    std::unique_ptr<CLinuxV4l2Radio> pRadio(new CLinuxV4l2Radio(strNode, std::move(fd)));
    if (!pRadio->Identify(strWhy)) {
        return nullptr;
    }
    return pRadio;
}

bool CLinuxV4l2Radio::Identify(std::string& strWhy) {
    v4l2_capability capability{};
    if (Ioctl(m_fd.Get(), VIDIOC_QUERYCAP, &capability) < 0) {
        strWhy = m_strNode + ": VIDIOC_QUERYCAP: " + std::strerror(errno);
        return false;
    }
    const uint32_t nCaps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS)
                               ? capability.device_caps
                               : capability.capabilities;
    if (!(nCaps & V4L2_CAP_RADIO) || !(nCaps & V4L2_CAP_TUNER)) {
        strWhy = m_strNode + " is no radio receiver" +
                 ((nCaps & V4L2_CAP_MODULATOR) ? " (it is a transmitter)" : "");
        return false;
    }
    m_caps.strCard = Text(capability.card, sizeof(capability.card));
    m_caps.strDriver = Text(capability.driver, sizeof(capability.driver));
    m_caps.strBusInfo = Text(capability.bus_info, sizeof(capability.bus_info));

    v4l2_tuner tuner{};
    if (Ioctl(m_fd.Get(), VIDIOC_G_TUNER, &tuner) < 0) {
        strWhy = m_strNode + ": VIDIOC_G_TUNER: " + std::strerror(errno);
        return false;
    }
    m_nUnitCapability = tuner.capability & (V4L2_TUNER_CAP_LOW | V4L2_TUNER_CAP_1HZ);
    m_caps.bStereo = (tuner.capability & V4L2_TUNER_CAP_STEREO) != 0;
    m_caps.bRds = (nCaps & V4L2_CAP_RDS_CAPTURE) && (nCaps & V4L2_CAP_READWRITE) &&
                  (tuner.capability & V4L2_TUNER_CAP_RDS_BLOCK_IO);
    ReadBands(tuner.capability, tuner.rangelow, tuner.rangehigh);
    if (m_bands.empty()) {
        strWhy = m_strNode + " tunes no broadcast band";
        return false;
    }
    if (nCaps & V4L2_CAP_HW_FREQ_SEEK) {
        m_seekFd.Reset(::open(m_strNode.c_str(), O_RDWR | O_CLOEXEC));
        m_caps.bHardwareSeek = m_seekFd.IsValid();
        m_caps.bSeekWraps = (tuner.capability & V4L2_TUNER_CAP_HWSEEK_WRAP) != 0;
    }
    int nMinimum = 0;
    int nMaximum = 0;
    m_caps.bMuteControl = HasControl(V4L2_CID_AUDIO_MUTE, nMinimum, nMaximum);
    m_caps.bVolumeControl = HasControl(V4L2_CID_AUDIO_VOLUME, m_nVolumeMinimum, m_nVolumeMaximum);
    return true;
}

void CLinuxV4l2Radio::ReadBands(uint32_t nTunerCapability, uint32_t nLow, uint32_t nHigh) {
    if (nTunerCapability & V4L2_TUNER_CAP_FREQ_BANDS) {
        for (uint32_t nIndex = 0; nIndex < 16; ++nIndex) {
            v4l2_frequency_band band{};
            band.tuner = 0;
            band.type = V4L2_TUNER_RADIO;
            band.index = nIndex;
            if (Ioctl(m_fd.Get(), VIDIOC_ENUM_FREQ_BANDS, &band) < 0) {
                break;
            }
            const uint32_t nLowHz = ToHz(band.rangelow);
            m_bands.push_back(
                {ModulationOf(band.modulation, nLowHz), nLowHz, ToHz(band.rangehigh)});
        }
    }
    if (!m_bands.empty()) {
        return;
    }
    // One range for the whole tuner: its AM part lies below FM's lowest.
    const uint32_t nLowHz = ToHz(nLow);
    const uint32_t nHighHz = ToHz(nHigh);
    if (nLowHz < kFmLowestHz) {
        m_bands.push_back({SV4l2Band::EModulation::Am, nLowHz, std::min(nHighHz, kFmLowestHz - 1)});
    }
    if (nHighHz >= kFmLowestHz) {
        m_bands.push_back({SV4l2Band::EModulation::Fm, std::max(nLowHz, kFmLowestHz), nHighHz});
    }
}

bool CLinuxV4l2Radio::HasControl(uint32_t nId, int& nMinimum, int& nMaximum) const {
    v4l2_queryctrl query{};
    query.id = nId;
    if (Ioctl(m_fd.Get(), VIDIOC_QUERYCTRL, &query) < 0 ||
        (query.flags & V4L2_CTRL_FLAG_DISABLED)) {
        return false;
    }
    nMinimum = query.minimum;
    nMaximum = query.maximum;
    return true;
}

uint32_t CLinuxV4l2Radio::ToUnits(uint32_t nHz) const {
    if (m_nUnitCapability & V4L2_TUNER_CAP_1HZ) {
        return nHz;
    }
    if (m_nUnitCapability & V4L2_TUNER_CAP_LOW) {
        return static_cast<uint32_t>((uint64_t{nHz} * 2 + 62) / 125);
    }
    return (nHz + 31250) / 62500;
}

uint32_t CLinuxV4l2Radio::ToHz(uint32_t nUnits) const {
    if (m_nUnitCapability & V4L2_TUNER_CAP_1HZ) {
        return nUnits;
    }
    if (m_nUnitCapability & V4L2_TUNER_CAP_LOW) {
        return static_cast<uint32_t>((uint64_t{nUnits} * 125 + 1) / 2);
    }
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{nUnits} * 62500, UINT32_MAX));
}

EV4l2Status CLinuxV4l2Radio::Result(int nResult, const char* pCall, bool bSeek) {
    if (nResult >= 0) {
        return EV4l2Status::Ok;
    }
    const int nError = errno;
    {
        std::lock_guard lock(m_errorMutex);
        m_strLastError = std::string(pCall) + ": " + std::strerror(nError);
    }
    switch (nError) {
        case ENODATA:
            return bSeek ? EV4l2Status::NoStation : EV4l2Status::Failed;
        case EAGAIN:
            return bSeek ? EV4l2Status::NoStation : EV4l2Status::Failed;
        case EBUSY:
            return EV4l2Status::Busy;
        case ENODEV:
        case ENXIO:
            return EV4l2Status::Gone;
        case EINVAL:
        case ENOTTY:
            return EV4l2Status::Unsupported;
        default:
            return EV4l2Status::Failed;
    }
}

EV4l2Status CLinuxV4l2Radio::SetFrequency(uint32_t nHz, uint32_t& nTunedHz) {
    v4l2_frequency frequency{};
    frequency.tuner = 0;
    frequency.type = V4L2_TUNER_RADIO;
    frequency.frequency = ToUnits(nHz);
    const EV4l2Status eStatus =
        Result(Ioctl(m_fd.Get(), VIDIOC_S_FREQUENCY, &frequency), "VIDIOC_S_FREQUENCY");
    if (eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    return Frequency(nTunedHz);
}

EV4l2Status CLinuxV4l2Radio::Frequency(uint32_t& nHz) {
    v4l2_frequency frequency{};
    frequency.tuner = 0;
    const EV4l2Status eStatus =
        Result(Ioctl(m_fd.Get(), VIDIOC_G_FREQUENCY, &frequency), "VIDIOC_G_FREQUENCY");
    if (eStatus == EV4l2Status::Ok) {
        nHz = ToHz(frequency.frequency);
    }
    return eStatus;
}

EV4l2Status CLinuxV4l2Radio::Signal(SV4l2Signal& signal) {
    v4l2_tuner tuner{};
    tuner.index = 0;
    const EV4l2Status eStatus = Result(Ioctl(m_fd.Get(), VIDIOC_G_TUNER, &tuner), "VIDIOC_G_TUNER");
    if (eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    signal.nStrength = std::min<unsigned>(static_cast<unsigned>(std::max(tuner.signal, 0)), 65535);
    signal.bStereo = (tuner.rxsubchans & V4L2_TUNER_SUB_STEREO) != 0;
    signal.bRds = (tuner.rxsubchans & V4L2_TUNER_SUB_RDS) != 0;
    return EV4l2Status::Ok;
}

// Bounded to the band the radio is in, or wrapping where the device can:
// what every driver that seeks takes.
EV4l2Status CLinuxV4l2Radio::HardwareSeek(bool bUp, const SV4l2Band& /*band*/) {
    if (!m_seekFd.IsValid()) {
        return EV4l2Status::Unsupported;
    }
    v4l2_hw_freq_seek seek{};
    seek.tuner = 0;
    seek.type = V4L2_TUNER_RADIO;
    seek.seek_upward = bUp ? 1 : 0;
    seek.wrap_around = m_caps.bSeekWraps ? 1 : 0;
    return Result(Ioctl(m_seekFd.Get(), VIDIOC_S_HW_FREQ_SEEK, &seek), "VIDIOC_S_HW_FREQ_SEEK",
                  true);
}

EV4l2Status CLinuxV4l2Radio::SetMute(bool bMute) {
    if (!m_caps.bMuteControl) {
        return EV4l2Status::Unsupported;
    }
    v4l2_control control{};
    control.id = V4L2_CID_AUDIO_MUTE;
    control.value = bMute ? 1 : 0;
    return Result(Ioctl(m_fd.Get(), VIDIOC_S_CTRL, &control), "VIDIOC_S_CTRL(mute)");
}

EV4l2Status CLinuxV4l2Radio::SetVolume(int nPercent) {
    if (!m_caps.bVolumeControl) {
        return EV4l2Status::Unsupported;
    }
    v4l2_control control{};
    control.id = V4L2_CID_AUDIO_VOLUME;
    control.value = m_nVolumeMinimum +
                    (m_nVolumeMaximum - m_nVolumeMinimum) * std::clamp(nPercent, 0, 100) / 100;
    return Result(Ioctl(m_fd.Get(), VIDIOC_S_CTRL, &control), "VIDIOC_S_CTRL(volume)");
}

EV4l2Status CLinuxV4l2Radio::ReadRds(std::vector<SRdsBlock>& blocks) {
    if (!m_caps.bRds) {
        return EV4l2Status::Unsupported;
    }
    v4l2_rds_data data[64];
    for (;;) {
        const ssize_t nRead = ::read(m_fd.Get(), data, sizeof(data));
        if (nRead < 0 && errno == EINTR) {
            continue;
        }
        if (nRead < 0 && errno == EAGAIN) {
            return EV4l2Status::Ok;
        }
        if (nRead < 0) {
            return Result(-1, "read(RDS)");
        }
        const size_t nBlocks = static_cast<size_t>(nRead) / sizeof(v4l2_rds_data);
        for (size_t n = 0; n < nBlocks; ++n) {
            blocks.push_back(SRdsBlock::FromV4l2(data[n].lsb, data[n].msb, data[n].block));
        }
        if (nBlocks < std::size(data)) {
            return EV4l2Status::Ok;
        }
    }
}

std::string CLinuxV4l2Radio::LastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_strLastError;
}
