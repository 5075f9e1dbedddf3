#include "platform/v4l2/SimV4l2Radio.h"

#include <sys/timerfd.h>

#include <algorithm>
#include <thread>

namespace {

const char* CallName(CSimV4l2Control::ECall eCall) {
    switch (eCall) {
        case CSimV4l2Control::ECall::Open:
            return "open";
        case CSimV4l2Control::ECall::SetFrequency:
            return "VIDIOC_S_FREQUENCY";
        case CSimV4l2Control::ECall::Frequency:
            return "VIDIOC_G_FREQUENCY";
        case CSimV4l2Control::ECall::Signal:
            return "VIDIOC_G_TUNER";
        case CSimV4l2Control::ECall::HardwareSeek:
            return "VIDIOC_S_HW_FREQ_SEEK";
        case CSimV4l2Control::ECall::SetMute:
        case CSimV4l2Control::ECall::SetVolume:
            return "VIDIOC_S_CTRL";
        case CSimV4l2Control::ECall::ReadRds:
            return "read(RDS)";
    }
    return "?";
}

const char* StatusText(EV4l2Status eStatus) {
    switch (eStatus) {
        case EV4l2Status::NoStation:
            return "No data available";
        case EV4l2Status::Busy:
            return "Device or resource busy";
        case EV4l2Status::Gone:
            return "No such device";
        case EV4l2Status::Unsupported:
            return "Invalid argument";
        case EV4l2Status::Failed:
            return "Input/output error";
        case EV4l2Status::Ok:
            break;
    }
    return "Success";
}

}  // namespace

CSimV4l2Radio::CSimV4l2Radio(std::shared_ptr<SSimV4l2State> pState)
    : m_pState(std::move(pState)),
      m_tick(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    std::lock_guard lock(m_pState->mutex);
    const SSimV4l2Layout& layout = m_pState->layout;
    ++m_pState->nOpenHandles;
    m_caps.strCard = layout.strName;
    m_caps.strDriver = layout.strDriver;
    m_caps.strBusInfo = "usb-sim";
    m_caps.bHardwareSeek = layout.bHardwareSeek;
    m_caps.bSeekWraps = layout.bSeekWraps;
    m_caps.bRds = layout.bRds && m_tick.IsValid();
    m_caps.bStereo = layout.bStereo;
    m_caps.bMuteControl = layout.bMuteControl;
    m_caps.bVolumeControl = layout.bVolumeControl;
    m_bands = layout.bands;
    itimerspec period{};
    period.it_interval.tv_nsec = 20'000'000;
    period.it_value.tv_nsec = 20'000'000;
    if (m_tick.IsValid()) {
        ::timerfd_settime(m_tick.Get(), 0, &period, nullptr);
    }
    m_lastRds = std::chrono::steady_clock::now();
}

CSimV4l2Radio::~CSimV4l2Radio() {
    std::lock_guard lock(m_pState->mutex);
    --m_pState->nOpenHandles;
}

EV4l2Status CSimV4l2Radio::Check(CSimV4l2Control::ECall eCall) {
    EV4l2Status eStatus = m_pState->bPlugged ? m_pState->TakeFailure(eCall) : EV4l2Status::Gone;
    if (eStatus != EV4l2Status::Ok) {
        std::lock_guard lock(m_errorMutex);
        m_strLastError = std::string(CallName(eCall)) + ": " + StatusText(eStatus);
    }
    return eStatus;
}

EV4l2Status CSimV4l2Radio::SetFrequency(uint32_t nHz, uint32_t& nTunedHz) {
    std::lock_guard lock(m_pState->mutex);
    if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::SetFrequency);
        eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    // Like a driver: the closest frequency of the bands it has.
    uint32_t nBest = nHz;
    uint32_t nBestOff = UINT32_MAX;
    for (const SV4l2Band& band : m_bands) {
        const uint32_t nClamped = std::clamp(nHz, band.nLowHz, band.nHighHz);
        const uint32_t nOff = nClamped > nHz ? nClamped - nHz : nHz - nClamped;
        if (nOff < nBestOff) {
            nBest = nClamped;
            nBestOff = nOff;
        }
    }
    m_pState->nTunedHz = nBest;
    nTunedHz = nBest;
    return EV4l2Status::Ok;
}

EV4l2Status CSimV4l2Radio::Frequency(uint32_t& nHz) {
    std::lock_guard lock(m_pState->mutex);
    if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::Frequency);
        eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    nHz = m_pState->nTunedHz;
    return EV4l2Status::Ok;
}

EV4l2Status CSimV4l2Radio::Signal(SV4l2Signal& signal) {
    std::lock_guard lock(m_pState->mutex);
    if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::Signal);
        eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    signal = m_pState->SignalAt(m_pState->nTunedHz);
    return EV4l2Status::Ok;
}

EV4l2Status CSimV4l2Radio::HardwareSeek(bool bUp, const SV4l2Band& band) {
    std::chrono::milliseconds seekTime{0};
    {
        std::lock_guard lock(m_pState->mutex);
        if (!m_caps.bHardwareSeek) {
            return EV4l2Status::Unsupported;
        }
        if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::HardwareSeek);
            eStatus != EV4l2Status::Ok) {
            return eStatus;
        }
        ++m_pState->nSeeksStarted;
        seekTime = m_pState->layout.seekTime;
    }
    std::this_thread::sleep_for(seekTime);
    std::lock_guard lock(m_pState->mutex);
    if (!m_pState->bPlugged) {
        return EV4l2Status::Gone;
    }
    if (!m_pState->layout.bSeekMoves) {
        return EV4l2Status::Ok;
    }
    // The next station with a usable signal, the way the seek goes.
    const uint32_t nFrom = m_pState->nTunedHz;
    const SSimV4l2Station* pFound = nullptr;
    const SSimV4l2Station* pWrapped = nullptr;
    for (const SSimV4l2Station& station : m_pState->layout.stations) {
        if (station.nHz < band.nLowHz || station.nHz > band.nHighHz) {
            continue;
        }
        const bool bAhead = bUp ? station.nHz > nFrom : station.nHz < nFrom;
        const auto closer = [bUp](const SSimV4l2Station* pOld, uint32_t nHz) {
            return !pOld || (bUp ? nHz < pOld->nHz : nHz > pOld->nHz);
        };
        if (bAhead && closer(pFound, station.nHz)) {
            pFound = &station;
        }
        if (!bAhead && station.nHz != nFrom && closer(pWrapped, station.nHz)) {
            pWrapped = &station;
        }
    }
    if (!pFound && m_caps.bSeekWraps) {
        pFound = pWrapped;
    }
    if (!pFound) {
        return EV4l2Status::NoStation;
    }
    m_pState->nTunedHz = pFound->nHz;
    return EV4l2Status::Ok;
}

EV4l2Status CSimV4l2Radio::SetMute(bool bMute) {
    std::lock_guard lock(m_pState->mutex);
    if (!m_caps.bMuteControl) {
        return EV4l2Status::Unsupported;
    }
    if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::SetMute);
        eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    m_pState->bMuted = bMute;
    return EV4l2Status::Ok;
}

EV4l2Status CSimV4l2Radio::SetVolume(int nPercent) {
    std::lock_guard lock(m_pState->mutex);
    if (!m_caps.bVolumeControl) {
        return EV4l2Status::Unsupported;
    }
    if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::SetVolume);
        eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    m_pState->nVolume = std::clamp(nPercent, 0, 100);
    return EV4l2Status::Ok;
}

EV4l2Status CSimV4l2Radio::ReadRds(std::vector<SRdsBlock>& blocks) {
    if (!m_caps.bRds) {
        return EV4l2Status::Unsupported;
    }
    uint64_t nTicks = 0;
    [[maybe_unused]] const ssize_t nRead = ::read(m_tick.Get(), &nTicks, sizeof(nTicks));
    std::lock_guard rdsLock(m_rdsMutex);
    std::lock_guard lock(m_pState->mutex);
    if (const EV4l2Status eStatus = Check(CSimV4l2Control::ECall::ReadRds);
        eStatus != EV4l2Status::Ok) {
        return eStatus;
    }
    const auto now = std::chrono::steady_clock::now();
    m_dBlocksDue += std::chrono::duration<double>(now - m_lastRds).count() *
                    m_pState->layout.dRdsBlocksPerSecond;
    m_lastRds = now;
    m_dBlocksDue = std::min(m_dBlocksDue, 4096.0);  // a reader that slept long
    uint32_t nOffHz = 0;
    const SSimV4l2Station* pStation = m_pState->Nearest(m_pState->nTunedHz, nOffHz);
    if (!pStation || !m_pState->SignalAt(m_pState->nTunedHz).bRds) {
        m_dBlocksDue = 0;
        return EV4l2Status::Ok;
    }
    if (pStation->nHz != m_nRdsHz) {
        m_nRdsHz = pStation->nHz;
        m_nNextBlock = 0;
    }
    const std::vector<SRdsBlock> cycle = CRdsEncoder(pStation->rds).Cycle();
    for (; m_dBlocksDue >= 1.0; m_dBlocksDue -= 1.0) {
        blocks.push_back(cycle[m_nNextBlock++ % cycle.size()]);
    }
    return EV4l2Status::Ok;
}

std::string CSimV4l2Radio::LastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_strLastError;
}
