#include "receiver/SdrRadio.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/audio/AudioFeed.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "sdr";
constexpr double kFmLowHz = 64e6;
constexpr double kFmHighHz = 108e6;
// Long, medium and short wave: what a listener hears as AM.
constexpr double kAmLowHz = 150e3;
constexpr double kAmHighHz = 26.1e6;
constexpr uint32_t kAmTopHz = 30'000'000;
// AM's station test looks at the carrier itself: a narrow window on it
// against windows either side, within the channel.
constexpr double kCarrierWidthHz = 2000;
constexpr double kCarrierNeighbourHz = 3000;
constexpr double kChannelWidthHz = 100'000;
constexpr double kNeighbourHz = 50'000;
// A station nearer the centre than this sits on the DC spike; one nearer the
// span's edge than the channel is cut by the dongle's own filter.
constexpr double kDcGuardHz = 100'000;
constexpr double kEdgeGuardHz = 150'000;
constexpr int kAudioRate = 48000;
constexpr double kStaleSeconds = 0.05;
constexpr auto kRetuneWait = std::chrono::milliseconds(300);

int16_t ToSample(float fValue) {
    return static_cast<int16_t>(std::lround(std::clamp(fValue, -1.0f, 1.0f) * 32767.0f));
}

CFmStereoDemod::SConfig DemodConfig(double dRate, double dDeemphasisUs) {
    CFmStereoDemod::SConfig config;
    config.dInputRate = dRate;
    config.dOffsetHz = dRate / 4;
    config.nAudioRate = kAudioRate;
    config.dDeemphasisUs = dDeemphasisUs;
    return config;
}

CAmDemod::SConfig AmConfig(double dRate, double dChannelHz) {
    CAmDemod::SConfig config;
    config.dInputRate = dRate;
    config.dOffsetHz = dRate / 4;
    config.nAudioRate = kAudioRate;
    config.dChannelHz = dChannelHz;
    return config;
}

bool IsAm(uint32_t nHz) {
    return nHz < kAmTopHz;
}

}  // namespace

CSdrRadio::CSdrRadio(std::unique_ptr<CSdrDevice> pDevice, const SSdrRadioConfig& config)
    : m_pDevice(std::move(pDevice)),
      m_config(config),
      m_rdsReady(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_demod(DemodConfig(m_pDevice->SampleRate(), config.dDeemphasisUs)),
      m_rds(m_demod.MpxRate()),
      m_meter(m_pDevice->SampleRate()),
      m_am(AmConfig(m_pDevice->SampleRate(), config.dAmChannelHz)),
      m_amMeter(m_am.BasebandRate()),
      m_dCenter(m_pDevice->Center()) {
    m_caps.strCard = m_pDevice->Info().strName;
    m_caps.strDriver = "sdr:" + m_pDevice->Info().strDriver;
    m_caps.strBusInfo = m_pDevice->Info().strId;
    m_caps.bRds = true;
    m_caps.bStereo = true;
    for (const auto& [dLow, dHigh] : m_pDevice->Ranges()) {
        const double dFrom = std::max(dLow, kFmLowHz);
        const double dTo = std::min(dHigh, kFmHighHz);
        if (dFrom < dTo) {
            m_bands.push_back({SV4l2Band::EModulation::Fm, static_cast<uint32_t>(dFrom),
                               static_cast<uint32_t>(dTo)});
        }
    }
    AddAmBand();
}

// Through the upconverter where the tuner reaches the band shifted up,
// else directly sampled.
void CSdrRadio::AddAmBand() {
    const double dShift = m_config.dUpconverterHz;
    const auto ranges = dShift > 0 ? m_pDevice->Ranges() : m_pDevice->DirectRanges();
    for (const auto& [dLow, dHigh] : ranges) {
        const double dFrom = std::max(dLow - dShift, kAmLowHz);
        const double dTo = std::min(dHigh - dShift, kAmHighHz);
        if (dFrom < dTo) {
            m_bands.push_back({SV4l2Band::EModulation::Am, static_cast<uint32_t>(dFrom),
                               static_cast<uint32_t>(dTo)});
        }
    }
}

std::unique_ptr<CSdrRadio> CSdrRadio::Open(std::unique_ptr<CSdrDevice> pDevice,
                                           const SSdrRadioConfig& config, std::string& strWhy,
                                           std::shared_ptr<SSdrGapCount> pGaps) {
    std::unique_ptr<CSdrRadio> pRadio(new CSdrRadio(std::move(pDevice), config));
    if (pGaps) {
        pRadio->m_pGaps = std::move(pGaps);
    }
    if (pRadio->m_bands.empty()) {
        strWhy = pRadio->Info().strName + " does not reach the FM band";
        return nullptr;
    }
    // A gain or a correction the dongle refuses leaves it at its own.
    std::string strSetting;
    if (!pRadio->m_pDevice->SetGain(config.gainDb, strSetting) ||
        !pRadio->m_pDevice->SetCorrection(config.dCorrectionPpm, strSetting)) {
        KestrelTrace(kTag, "%s: %s", pRadio->Info().strId.c_str(), strSetting.c_str());
        pRadio->m_strError = strSetting;
    }
    CSdrRadio* pThis = pRadio.get();
    if (!pRadio->m_pDevice->Start(
            [pThis](std::span<const std::complex<float>> iq, uint64_t nLost) {
                pThis->OnIq(iq, nLost);
            },
            [pThis](const std::string& strFailure) { pThis->OnFailure(strFailure); }, strWhy)) {
        return nullptr;
    }
    return pRadio;
}

CSdrRadio::~CSdrRadio() {
    m_pDevice->Stop();
}

// Within the span only the demodulator moves; otherwise the dongle is
// retuned a quarter of the rate above the station, off its DC spike.
bool CSdrRadio::Place(uint32_t nHz, bool bAm, double& dOffset, std::string& strWhy) {
    const double dRate = m_pDevice->SampleRate();
    const bool bDirect = bAm && m_config.dUpconverterHz <= 0;
    const double dTuner = bAm ? nHz + m_config.dUpconverterHz : nHz;
    dOffset = dTuner - m_dCenter;
    // A recording keeps its centre: anything within its span plays, the
    // spike and all.
    if (!m_pDevice->CanRetune()) {
        if (std::abs(dOffset) > dRate / 2 - kEdgeGuardHz) {
            strWhy = "outside the recording's span";
            return false;
        }
        return true;
    }
    const bool bInSpan =
        std::abs(dOffset) >= kDcGuardHz && std::abs(dOffset) <= dRate / 2 - kEdgeGuardHz;
    if (bInSpan && bDirect == m_bDirect) {
        return true;
    }
    if (bDirect != m_bDirect) {
        if (!m_pDevice->SetDirectSampling(bDirect, strWhy)) {
            return false;
        }
        m_bDirect = bDirect;
    }
    if (!m_pDevice->SetCenter(dTuner + dRate / 4, strWhy)) {
        return false;
    }
    m_dCenter = dTuner + dRate / 4;
    dOffset = -dRate / 4;
    m_nStale = static_cast<size_t>(dRate * kStaleSeconds);
    return true;
}

EV4l2Status CSdrRadio::SetFrequency(uint32_t nHz, uint32_t& nTunedHz) {
    if (m_bGone) {
        return EV4l2Status::Gone;
    }
    std::unique_lock lock(m_mutex);
    const bool bAm = IsAm(nHz);
    double dOffset = 0;
    std::string strWhy;
    if (!Place(nHz, bAm, dOffset, strWhy)) {
        m_strError = "tune: " + strWhy;
        return EV4l2Status::Failed;
    }
    m_bAm = bAm;
    m_demod.SetOffset(dOffset);
    m_am.SetOffset(dOffset);
    m_rds.Reset();
    m_meter.Reset();
    m_amMeter.Reset();
    m_rdsBlocks.clear();
    m_nTunedHz = nHz;
    nTunedHz = nHz;
    // A station test right after must see the new centre's air.
    m_fresh.wait_for(lock, kRetuneWait, [this] { return m_nStale == 0 || m_bGone; });
    return EV4l2Status::Ok;
}

EV4l2Status CSdrRadio::Frequency(uint32_t& nHz) {
    std::lock_guard lock(m_mutex);
    nHz = m_nTunedHz;
    return m_bGone ? EV4l2Status::Gone : EV4l2Status::Ok;
}

EV4l2Status CSdrRadio::Signal(SV4l2Signal& signal) {
    if (m_bGone) {
        return EV4l2Status::Gone;
    }
    std::lock_guard lock(m_mutex);
    // A station is where its carrier is: off it, the window nearer the
    // carrier holds more, and the measure falls fast.
    const auto measure = [](const CChannelMeter& meter, double dOffset, double dWidth,
                            double dNeighbour) {
        const double dHere = meter.SnrDb(dOffset, dWidth);
        const double dBeside = std::max(meter.SnrDb(dOffset - dNeighbour, dWidth),
                                        meter.SnrDb(dOffset + dNeighbour, dWidth));
        return dHere - 3 * std::max(0.0, dBeside - dHere);
    };
    const double dSnr =
        m_bAm ? measure(m_amMeter, 0, kCarrierWidthHz, kCarrierNeighbourHz)
              : measure(m_meter, m_nTunedHz - m_dCenter, kChannelWidthHz, kNeighbourHz);
    signal.nStrength = static_cast<unsigned>(std::clamp(dSnr / kFullScaleDb, 0.0, 1.0) * 65535.0);
    signal.bStereo = !m_bAm && m_demod.Stereo();
    signal.bRds = !m_bAm && m_rds.Synced();
    return EV4l2Status::Ok;
}

EV4l2Status CSdrRadio::ReadRds(std::vector<SRdsBlock>& blocks) {
    uint64_t nCount = 0;
    [[maybe_unused]] const ssize_t nRead = ::read(m_rdsReady.Get(), &nCount, sizeof(nCount));
    std::lock_guard lock(m_mutex);
    blocks.insert(blocks.end(), m_rdsBlocks.begin(), m_rdsBlocks.end());
    m_rdsBlocks.clear();
    return m_bGone ? EV4l2Status::Gone : EV4l2Status::Ok;
}

std::string CSdrRadio::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_strError;
}

// Under the lock: the tuning's state is the chain's.
void CSdrRadio::Demodulate(std::span<const std::complex<float>> iq, bool bMeter) {
    m_audio.clear();
    if (m_bAm) {
        m_am.Process(iq, m_audio);
        if (bMeter) {
            m_amMeter.Write(m_am.Baseband());
        }
        return;
    }
    if (bMeter) {
        m_meter.Write(iq);
    }
    m_demod.Process(iq, m_audio);
    m_rds.Process(m_demod.Multiplex(), m_rdsBlocks);
}

void CSdrRadio::OnIq(std::span<const std::complex<float>> iq, uint64_t nLost) {
    bool bBlocks = false;
    {
        std::lock_guard lock(m_mutex);
        const bool bStale = m_nStale > 0;
        if (bStale) {
            m_nStale -= std::min(m_nStale, iq.size());
            if (m_nStale == 0) {
                m_fresh.notify_all();
            }
        }
        const size_t nBefore = m_rdsBlocks.size();
        Demodulate(iq, !bStale);
        bBlocks = m_rdsBlocks.size() > nBefore;
        // What the dongle dropped is silence of its true length.
        const size_t nGap =
            static_cast<size_t>(static_cast<double>(nLost) * kAudioRate / m_pDevice->SampleRate());
        if (nLost > 0) {
            ++m_pGaps->nGaps;
            m_pGaps->nFrames += nGap;
        }
        m_frames.assign(2 * nGap, 0);
        for (const float fSample : m_audio) {
            m_frames.push_back(ToSample(fSample));
        }
    }
    {
        std::lock_guard lock(m_pSlot->mutex);
        if (m_pSlot->pFeed && !m_frames.empty()) {
            m_pSlot->pFeed->Write(m_frames.data(), m_frames.size() / 2);
        }
    }
    if (bBlocks) {
        const uint64_t nOne = 1;
        [[maybe_unused]] const ssize_t nWritten = ::write(m_rdsReady.Get(), &nOne, sizeof(nOne));
    }
}

void CSdrRadio::OnFailure(const std::string& strWhy) {
    KestrelTrace(kTag, "%s: %s", Info().strId.c_str(), strWhy.c_str());
    SetError(strWhy);
    {
        std::lock_guard lock(m_mutex);
        m_bGone = true;
        m_fresh.notify_all();
    }
    const uint64_t nOne = 1;
    [[maybe_unused]] const ssize_t nWritten = ::write(m_rdsReady.Get(), &nOne, sizeof(nOne));
}

void CSdrRadio::SetError(const std::string& strError) {
    std::lock_guard lock(m_mutex);
    m_strError = strError;
}
