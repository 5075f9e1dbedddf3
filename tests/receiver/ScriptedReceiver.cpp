#include "tests/receiver/ScriptedReceiver.h"

#include <chrono>
#include <cmath>
#include <numbers>

#include "platform/audio/AudioFeed.h"
#include "platform/clock/Clock.h"
#include "platform/profile/Settings.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/TextSink.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"

namespace {

constexpr CAudioFeed::SFormat kFormat{48000, 2};
constexpr std::chrono::milliseconds kBlock{20};
constexpr std::chrono::milliseconds kDwell{20};

}  // namespace

CScriptedReceiver::CScriptedReceiver(CProfile& profile, CClock& clock,
                                     std::vector<SScriptedStation> stations, bool bHasAm)
    : m_profile(profile),
      m_clock(clock),
      m_stations(std::move(stations)),
      m_bHasAm(bHasAm),
      m_pFeed(std::make_shared<CAudioFeed>(kFormat)) {}

CScriptedReceiver::~CScriptedReceiver() {
    JoinSeek();
    StopAudio();
}

int CScriptedReceiver::CountDevices() {
    return m_bPlugged ? 1 : 0;
}

bool CScriptedReceiver::Open(CMessageTarget* pWindow) {
    if (!m_bPlugged) {
        return false;
    }
    m_pWindow = pWindow;
    StopAudio();
    {
        std::lock_guard lock(m_audioMutex);
        m_bAudioStop = false;
    }
    m_audioThread = std::thread([this] { AudioProc(); });
    return true;
}

void CScriptedReceiver::Close() {
    JoinSeek();
    StopAudio();
    m_pWindow = nullptr;
}

void CScriptedReceiver::LoadBandPlan() {
    const CSettings settings(m_profile);
    const CTuningSteps::SPlan plan =
        CTuningSteps::PlanOf(settings.Standard(), {m_nAmStep.load(), m_nFmRange.load()});
    m_nAmStep = plan.nAmStep;
    m_nFmRange = plan.nFmRange;
    m_nFm = Steps(BAND_FM).Wrap(settings.FmFrequency());
    m_nAm = Steps(BAND_AM).Wrap(settings.AmFrequency());
}

bool CScriptedReceiver::HasBand(int nBand) const {
    return nBand == BAND_FM || (nBand == BAND_AM && m_bHasAm);
}

CTuningSteps CScriptedReceiver::Steps(int nBand) const {
    return CTuningSteps(nBand, {m_nAmStep.load(), m_nFmRange.load()});
}

unsigned CScriptedReceiver::Frequency(int nBand) const {
    return nBand == BAND_FM ? m_nFm.load() : m_nAm.load();
}

void CScriptedReceiver::TuneLocked(unsigned nFrequency) {
    const int nBand = m_nBand;
    const unsigned nFolded = Steps(nBand).Wrap(nFrequency);
    (nBand == BAND_FM ? m_nFm : m_nAm) = nFolded;
    CSettings(m_profile).SetFrequency(nBand == BAND_FM, nFolded);
    if (m_pDisplay) {
        m_pDisplay->SetText(CPresetStore::ListText(nBand, nFolded));
    }
    // Its name is read a moment later, as RDS comes.
    const SScriptedStation* pStation = StationAt(nBand, nFolded);
    if (CMessageTarget* pWindow = m_pWindow.load();
        pWindow && pStation && !pStation->strName.empty()) {
        pWindow->Post(WM_DEVICE_REPORT, DEVICE_REPORT_READING, 0);
    }
}

bool CScriptedReceiver::Tune(unsigned nFrequency, std::optional<int> channelFlag) {
    CancelSeek();
    std::lock_guard lock(m_tuneMutex);
    if (channelFlag) {
        m_nChannelFlag = *channelFlag;
    }
    TuneLocked(nFrequency);
    return IsOpen();
}

bool CScriptedReceiver::Retune() {
    CancelSeek();
    std::lock_guard lock(m_tuneMutex);
    TuneLocked(Frequency(m_nBand));
    return IsOpen();
}

bool CScriptedReceiver::StartSeek(int nDirection) {
    JoinSeek();
    {
        std::lock_guard lock(m_tuneMutex);
        m_bSeekRunning = true;
    }
    m_bSeekThread = true;
    m_seekThread = std::thread([this, nDirection] { SeekProc(nDirection); });
    return true;
}

void CScriptedReceiver::CancelSeek() {
    std::lock_guard lock(m_tuneMutex);
    m_bSeekRunning = false;
}

void CScriptedReceiver::JoinSeek() {
    CancelSeek();
    if (m_seekThread.joinable()) {
        m_seekThread.join();
    }
}

// Each step is tuned under the lock a stop takes, so that once CancelSeek()
// returned nothing more is tuned; a station found is told outside it.
void CScriptedReceiver::SeekProc(int nDirection) {
    const int nBand = m_nBand;
    const unsigned nStart = Frequency(nBand);
    unsigned nFrequency = nStart;
    bool bFound = false;
    for (;;) {
        nFrequency = Steps(nBand).ChannelStep(nFrequency, nDirection == SEEK_UP);
        m_clock.Sleep(kDwell);
        std::lock_guard lock(m_tuneMutex);
        if (!m_bSeekRunning) {
            break;
        }
        TuneLocked(nFrequency);
        const SScriptedStation* pStation = StationAt(nBand, nFrequency);
        if (pStation || nFrequency == nStart) {
            m_bSeekRunning = false;
            bFound = pStation != nullptr;
            break;
        }
    }
    if (bFound) {
        if (CMessageTarget* pWindow = m_pWindow.load()) {
            pWindow->Send(WM_SEEK_FOUND, 0, 0);
        }
    }
    m_bSeekThread = false;
}

bool CScriptedReceiver::BeginScan() {
    if (!IsOpen()) {
        return false;
    }
    std::lock_guard lock(m_tuneMutex);
    m_bSeekRunning = false;
    m_bScanRunning = true;
    return true;
}

void CScriptedReceiver::EndScan() {
    std::lock_guard lock(m_tuneMutex);
    m_bScanRunning = false;
}

// The seek's dwell on every channel; a scripted name comes at once.
std::optional<SChannelTest> CScriptedReceiver::TestChannel(unsigned nFrequency,
                                                           std::chrono::milliseconds) {
    m_clock.Sleep(kDwell);
    std::lock_guard lock(m_tuneMutex);
    if (!m_bScanRunning || !m_bPlugged) {
        return std::nullopt;
    }
    TuneLocked(nFrequency);
    SChannelTest test;
    if (const SScriptedStation* pStation = StationAt(m_nBand, Frequency(m_nBand))) {
        test.bStation = true;
        test.nSignal = pStation->nSignal;
        test.bStereo = pStation->bStereo;
        test.strStation = pStation->strName;
    }
    return test;
}

const SScriptedStation* CScriptedReceiver::StationAt(int nBand, unsigned nFrequency) const {
    for (const SScriptedStation& station : m_stations) {
        if (station.nBand == nBand && station.nFrequency == nFrequency) {
            return &station;
        }
    }
    return nullptr;
}

SReceiverReading CScriptedReceiver::Reading() const {
    SReceiverReading reading;
    const SScriptedStation* pStation = StationAt(m_nBand, Frequency(m_nBand));
    if (!pStation) {
        reading.nChannelFlag = 1;
        return reading;
    }
    reading.nSignal = pStation->nSignal;
    reading.bStereo = pStation->bStereo;
    reading.nChannelFlag = pStation->bStereo ? 0 : 1;
    reading.strStation = pStation->strName;
    reading.strRadioText = pStation->strText;
    return reading;
}

// Blocks on their own schedule, so that late wake-ups do not add up.
void CScriptedReceiver::AudioProc() {
    const size_t nFrames = static_cast<size_t>(kFormat.nSampleRate) * kBlock.count() / 1000;
    std::vector<int16_t> block(nFrames * static_cast<size_t>(kFormat.nChannels));
    double dPhase = 0.0;
    auto due = std::chrono::steady_clock::now();
    std::unique_lock lock(m_audioMutex);
    while (!m_audioWake.wait_until(lock, due, [this] { return m_bAudioStop; })) {
        lock.unlock();
        const SScriptedStation* pStation = StationAt(m_nBand, Frequency(m_nBand));
        const double dHz = pStation && !m_nMute ? pStation->dToneHz : 0.0;
        for (size_t n = 0; n < nFrames; ++n) {
            const double dValue = dHz > 0 ? 0.5 * std::sin(dPhase) : 0.0;
            dPhase += 2.0 * std::numbers::pi * dHz / kFormat.nSampleRate;
            const auto nSample = static_cast<int16_t>(dValue * 32767.0);
            block[2 * n] = nSample;
            block[2 * n + 1] = nSample;
        }
        dPhase = std::fmod(dPhase, 2.0 * std::numbers::pi);
        m_pFeed->Write(block.data(), nFrames);
        due += kBlock;
        lock.lock();
    }
}

void CScriptedReceiver::StopAudio() {
    {
        std::lock_guard lock(m_audioMutex);
        m_bAudioStop = true;
    }
    m_audioWake.notify_all();
    if (m_audioThread.joinable()) {
        m_audioThread.join();
    }
}
