#include "receiver/V4l2Receiver.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioFeed.h"
#include "platform/audio/AudioOutput.h"
#include "platform/clock/Clock.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/TextSink.h"
#include "platform/window/WindowMessages.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kTag = "v4l2";
constexpr unsigned kFmUnitHz = 10'000;
constexpr unsigned kAmUnitHz = 1'000;
// A tuner's signal settles this long after a tune before the station test.
constexpr auto kFmSettle = 60ms;
constexpr auto kAmSettle = 100ms;
// How often a scan looks again while it waits (for a seek's end, a name).
constexpr auto kStep = 20ms;
constexpr auto kStatusPeriod = 40ms;
constexpr auto kSignalPeriod = 250ms;

// The station test's lowest signal at each scan level, of 65535: the first
// level also wants the stereo pilot on FM.
constexpr std::array<unsigned, 3> kStationSignal = {0xC000, 0x8000, 0x4000};

SV4l2Band::EModulation ModulationOf(int nBand) {
    return nBand == CReceiver::BAND_FM ? SV4l2Band::EModulation::Fm : SV4l2Band::EModulation::Am;
}

const char* StatusText(EV4l2Status eStatus) {
    switch (eStatus) {
        case EV4l2Status::NoStation:
            return "found no station";
        case EV4l2Status::Busy:
            return "is busy (another program may hold it)";
        case EV4l2Status::Gone:
            return "was unplugged";
        case EV4l2Status::Unsupported:
            return "cannot do that";
        case EV4l2Status::Failed:
            return "failed";
        case EV4l2Status::Ok:
            break;
    }
    return "is fine";
}

}  // namespace

CV4l2Receiver::CV4l2Receiver(const SV4l2ReceiverServices& services, CProfile& profile,
                             CClock& clock)
    : m_services(services),
      m_settings(profile),
      m_clock(clock),
      m_pFeed(std::make_shared<CAudioFeed>(CAudioFeed::SFormat{48000, 2})) {
    LoadBandPlan();
    m_frequency[BAND_AM] = m_settings.AmFrequency();
    m_frequency[BAND_FM] = m_settings.FmFrequency();
}

CV4l2Receiver::~CV4l2Receiver() {
    JoinSeek();
    Close();
}

// Presence ----------------------------------------------------------------

std::vector<SV4l2Device> CV4l2Receiver::UsableDevices() {
    std::vector<SV4l2Device> usable;
    std::string strRefusal;
    for (SV4l2Device& device : m_services.v4l2.Enumerate()) {
        if (device.strRefused.empty()) {
            usable.push_back(std::move(device));
            continue;
        }
        KestrelTrace(kTag, "may not open %s", device.strRefused.c_str());
        if (strRefusal.empty()) {
            // Short: a task's outcome keeps 255 characters.
            strRefusal = "The radio " + (device.strName.empty() ? device.strNode : device.strName) +
                         " may not be opened (" + device.strRefused +
                         "): with nobody logged in, the user needs the groups video and audio.";
        }
    }
    m_strRefusal = usable.empty() ? strRefusal : std::string();
    return usable;
}

std::string CV4l2Receiver::Refusal() const {
    return m_strRefusal;
}

std::optional<SV4l2Device> CV4l2Receiver::ChooseDevice() {
    const std::vector<SV4l2Device> devices = UsableDevices();
    if (devices.empty()) {
        return std::nullopt;
    }
    const std::string strWanted = m_settings.ReceiverDevice();
    for (const SV4l2Device& device : devices) {
        if (device.strId == strWanted) {
            return device;
        }
    }
    return devices.front();
}

int CV4l2Receiver::CountDevices() {
    return static_cast<int>(UsableDevices().size());
}

std::vector<SReceiverDevice> CV4l2Receiver::Devices() {
    std::vector<SReceiverDevice> devices;
    for (const SV4l2Device& device : UsableDevices()) {
        devices.push_back({device.strId, device.strName});
    }
    return devices;
}

bool CV4l2Receiver::Open(CMessageTarget* pWindow) {
    Close();
    const std::optional<SV4l2Device> device = ChooseDevice();
    if (!device) {
        return false;
    }
    std::string strWhy;
    std::shared_ptr<CV4l2Radio> pRadio = m_services.v4l2.Open(*device, strWhy);
    if (!pRadio) {
        SetProblem("The radio cannot be opened: " + strWhy);
        KestrelTrace(kTag, "%s", strWhy.c_str());
        return false;
    }
    {
        std::lock_guard lock(m_tuneMutex);
        m_pRadio = pRadio;
        m_device = *device;
        m_bOwnAudio = !device->strCaptureDevice.empty();
    }
    SetProblem({});
    SetAudioProblem({});
    // Some tuners (Si470x) start muted.
    if (pRadio->Caps().bMuteControl) {
        ReportStatus(pRadio->SetMute(m_nMute != 0), "mute");
    }
    m_pWindow = pWindow;
    StartAudio();
    m_statusLoop.Start([this](CPollLoop& loop) { StatusLoop(loop); });
    KestrelTrace(kTag, "opened %s (%s) on %s, %zu bands%s%s", device->strName.c_str(),
                 device->strId.c_str(), device->strNode.c_str(), pRadio->Bands().size(),
                 pRadio->Caps().bHardwareSeek ? ", hardware seek" : "",
                 pRadio->Caps().bRds ? ", RDS" : "");
    return true;
}

void CV4l2Receiver::Close() {
    m_pWindow = nullptr;
    CancelSeek();
    m_statusLoop.Stop();
    StopAudio();
    std::lock_guard lock(m_tuneMutex);
    m_pRadio.reset();
    std::lock_guard rdsLock(m_rdsMutex);
    m_rds.Reset();
    m_nToldSignal = -1;
}

// Band plan -----------------------------------------------------------------

void CV4l2Receiver::LoadBandPlan() {
    std::lock_guard lock(m_tuneMutex);
    m_plan = CTuningSteps::PlanOf(m_settings.Standard(), m_plan);
    m_nScanLevel = std::clamp(m_settings.ScanLevel(), 0, 2);
}

CTuningSteps CV4l2Receiver::Steps(int nBand) const {
    return CTuningSteps(nBand, m_plan);
}

const SV4l2Band* CV4l2Receiver::DeviceBand(int nBand) const {
    if (!m_pRadio) {
        return nullptr;
    }
    // The band of the modulation that covers most of the plan's.
    const CTuningSteps steps = Steps(nBand);
    const uint32_t nLow = ToHz(nBand, steps.Lower());
    const uint32_t nHigh = ToHz(nBand, steps.Upper());
    const SV4l2Band* pBest = nullptr;
    uint32_t nBestOverlap = 0;
    for (const SV4l2Band& band : m_pRadio->Bands()) {
        if (band.eModulation != ModulationOf(nBand)) {
            continue;
        }
        const uint32_t nFrom = std::max(nLow, band.nLowHz);
        const uint32_t nTo = std::min(nHigh, band.nHighHz);
        const uint32_t nOverlap = nTo >= nFrom ? nTo - nFrom + 1 : 0;
        if (nOverlap > nBestOverlap) {
            pBest = &band;
            nBestOverlap = nOverlap;
        }
    }
    return pBest;
}

// Without a radio the band plan holds; an open one has the bands it has.
bool CV4l2Receiver::HasBand(int nBand) const {
    return !m_pRadio || DeviceBand(nBand) != nullptr;
}

void CV4l2Receiver::SetBand(int nBand) {
    m_nBand = nBand == BAND_AM ? BAND_AM : BAND_FM;
}

unsigned CV4l2Receiver::Frequency(int nBand) const {
    return m_frequency[nBand == BAND_AM ? BAND_AM : BAND_FM];
}

uint32_t CV4l2Receiver::ToHz(int nBand, unsigned nFrequency) const {
    return nFrequency * (nBand == BAND_FM ? kFmUnitHz : kAmUnitHz);
}

unsigned CV4l2Receiver::FromHz(int nBand, uint32_t nHz) const {
    const unsigned nUnit = nBand == BAND_FM ? kFmUnitHz : kAmUnitHz;
    return (nHz + nUnit / 2) / nUnit;
}

unsigned CV4l2Receiver::IntoDeviceBand(int nBand, unsigned nFrequency) const {
    const SV4l2Band* pBand = DeviceBand(nBand);
    if (!pBand) {
        return nFrequency;
    }
    const unsigned nUnit = nBand == BAND_FM ? kFmUnitHz : kAmUnitHz;
    const unsigned nLowest = (pBand->nLowHz + nUnit - 1) / nUnit;
    const unsigned nHighest = pBand->nHighHz / nUnit;
    return nLowest <= nHighest ? std::clamp(nFrequency, nLowest, nHighest) : nFrequency;
}

// Tuning --------------------------------------------------------------------

bool CV4l2Receiver::TuneLocked(unsigned nFrequency, STuned& tuned) {
    const int nBand = m_nBand;
    if (nFrequency == 0) {
        nFrequency = m_frequency[nBand];
    }
    nFrequency = IntoDeviceBand(nBand, Steps(nBand).Wrap(nFrequency));
    m_frequency[nBand] = nFrequency;
    tuned = {++m_nGeneration, nBand, nFrequency};
    if (!m_pRadio) {
        return false;
    }
    {
        std::lock_guard lock(m_rdsMutex);
        m_rds.Reset();
    }
    uint32_t nTunedHz = 0;
    const EV4l2Status eStatus = m_pRadio->SetFrequency(ToHz(nBand, nFrequency), nTunedHz);
    if (eStatus != EV4l2Status::Ok) {
        ReportStatus(eStatus, "tune");
        return false;
    }
    SetProblem({});  // it tunes again: what went wrong is over
    // The driver took the closest it can: that is what plays.
    const unsigned nTaken = FromHz(nBand, nTunedHz);
    if (nTaken != nFrequency && Steps(nBand).Wrap(nTaken) == nTaken) {
        m_frequency[nBand] = nTaken;
        tuned.nFrequency = nTaken;
    }
    return true;
}

// The profile and the display follow the tunes in the order they were made.
void CV4l2Receiver::Publish(const STuned& tuned) {
    std::lock_guard lock(m_publishMutex);
    if (tuned.nGeneration <= m_nPublished) {
        return;
    }
    m_nPublished = tuned.nGeneration;
    m_settings.SetFrequency(tuned.nBand == BAND_FM, tuned.nFrequency);
    std::lock_guard displayLock(m_displayMutex);
    if (m_pDisplay) {
        m_pDisplay->SetText(Steps(tuned.nBand).DisplayText(tuned.nFrequency));
    }
}

bool CV4l2Receiver::Tune(unsigned nFrequency, std::optional<int> channelFlag) {
    STuned tuned;
    bool bTuned;
    {
        std::lock_guard lock(m_tuneMutex);
        ClearSeekLocked();
        if (channelFlag) {
            m_nChannelFlag = *channelFlag;
        }
        bTuned = TuneLocked(nFrequency, tuned);
    }
    Publish(tuned);
    // The meters and the banner follow at once: the old station's name is gone.
    if (bTuned) {
        PostToWindow(WM_DEVICE_REPORT, DEVICE_REPORT_READING);
    }
    return bTuned;
}

bool CV4l2Receiver::Retune() {
    return Tune(0);
}

void CV4l2Receiver::SetMute(int nMute) {
    m_nMute = nMute;
    if (m_pRadio && m_pRadio->Caps().bMuteControl) {
        ReportStatus(m_pRadio->SetMute(nMute != 0), "mute");
    }
    // A radio without a mute control (radioSHARK) is muted in the audio path.
    if (nMute) {
        m_pListening.reset();
    } else {
        StartListening();
    }
    Retune();
}

void CV4l2Receiver::SetDisplay(CTextSink* pDisplay) {
    std::lock_guard lock(m_displayMutex);
    m_pDisplay = pDisplay;
}

// Seeking -------------------------------------------------------------------

void CV4l2Receiver::ClearSeekLocked() {
    m_bSeekRunning = false;
}

void CV4l2Receiver::CancelSeek() {
    std::lock_guard lock(m_tuneMutex);
    ClearSeekLocked();
}

// The worker takes the seek lock as its last act: joined outside it.
void CV4l2Receiver::JoinSeek() {
    CancelSeek();
    std::thread worker;
    {
        std::lock_guard lock(m_seekMutex);
        worker = std::move(m_seekThread);
    }
    if (worker.joinable()) {
        worker.join();
    }
}

bool CV4l2Receiver::StartSeek(int nDirection) {
    if (!m_pRadio) {
        return false;
    }
    if (m_bSeekRunning && m_nSeekDirection == nDirection) {
        Retune();  // a second press stops it where it is
        return false;
    }
    std::lock_guard lock(m_seekMutex);
    m_nSeekDirection = nDirection;
    m_bSeekRunning = true;
    if (m_bSeekThread) {
        return true;  // the worker still there serves it
    }
    if (m_seekThread.joinable()) {
        m_seekThread.join();
    }
    m_bSeekThread = true;
    m_seekThread = std::thread(&CV4l2Receiver::SeekProc, this);
    return true;
}

void CV4l2Receiver::SeekProc() {
    for (;;) {
        std::shared_ptr<CV4l2Radio> pRadio;
        {
            std::lock_guard lock(m_tuneMutex);
            pRadio = m_pRadio;
        }
        if (pRadio && m_bSeekRunning) {
            bool bFallBack = !pRadio->Caps().bHardwareSeek;
            if (!bFallBack) {
                HardwareSeek(m_nSeekDirection == SEEK_UP, bFallBack);
            }
            if (bFallBack && m_bSeekRunning) {
                OwnSeek();
            }
        }
        // A StartSeek that came after the last test found the thread still
        // there and started none: serve it instead of ending.
        std::lock_guard lock(m_seekMutex);
        if (!m_bSeekRunning || !pRadio) {
            m_bSeekRunning = false;
            m_bSeekThread = false;
            return;
        }
    }
}

bool CV4l2Receiver::HardwareSeek(bool bUp, bool& bFallBack) {
    std::shared_ptr<CV4l2Radio> pRadio;
    SV4l2Band band;
    int nBand;
    unsigned nStart;
    {
        std::lock_guard lock(m_tuneMutex);
        const SV4l2Band* pBand = DeviceBand(m_nBand);
        if (!m_bSeekRunning || !m_pRadio || !pBand) {
            bFallBack = m_bSeekRunning;
            return m_bSeekRunning;
        }
        pRadio = m_pRadio;
        band = *pBand;
        nBand = m_nBand;
        nStart = m_frequency[nBand];
    }
    const EV4l2Status eStatus = pRadio->HardwareSeek(bUp, band);
    STuned tuned;
    {
        std::lock_guard lock(m_tuneMutex);
        if (!m_bSeekRunning || m_pRadio != pRadio) {
            // Discarded: the radio goes back to where the receiver is.
            uint32_t nHz = 0;
            pRadio->SetFrequency(ToHz(m_nBand, m_frequency[m_nBand]), nHz);
            return false;
        }
        uint32_t nFoundHz = 0;
        if (eStatus == EV4l2Status::Ok && pRadio->Frequency(nFoundHz) == EV4l2Status::Ok) {
            const unsigned nFound = FromHz(nBand, nFoundHz);
            // A driver that says it found a station where it stood, or one
            // outside the plan, leaves the search to Kestrel's own test.
            if (nFound == nStart || Steps(nBand).Wrap(nFound) != nFound) {
                KestrelTrace(kTag, "hardware seek ended at %u (from %u): searching ourselves",
                             nFound, nStart);
                bFallBack = true;
                TuneLocked(nStart, tuned);
            } else {
                m_frequency[nBand] = nFound;
                tuned = {++m_nGeneration, nBand, nFound};
                std::lock_guard rdsLock(m_rdsMutex);
                m_rds.Reset();
            }
        } else if (eStatus == EV4l2Status::Unsupported ||
                   (eStatus == EV4l2Status::NoStation && !pRadio->Caps().bSeekWraps)) {
            // A bounded seek stops at the band's edge: Kestrel's own walk wraps.
            bFallBack = true;
        } else {
            ClearSeekLocked();
            TuneLocked(0, tuned);
            ReportStatus(eStatus == EV4l2Status::Ok ? EV4l2Status::Failed : eStatus, "seek");
        }
        if (!bFallBack && m_bSeekRunning) {
            SV4l2Signal signal;
            if (pRadio->Signal(signal) == EV4l2Status::Ok) {
                m_nChannelFlag = signal.bStereo ? 0 : 1;
            }
            ClearSeekLocked();
            tuned.nGeneration = tuned.nGeneration != 0 ? tuned.nGeneration : ++m_nGeneration;
            bFallBack = false;
        }
    }
    Publish(tuned);
    if (!bFallBack && eStatus == EV4l2Status::Ok) {
        FoundStation();
    }
    if (eStatus == EV4l2Status::Gone) {
        PostToWindow(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
    }
    return true;
}

bool CV4l2Receiver::IsStation(const SV4l2Signal& signal) const {
    const int nLevel = std::clamp(m_nScanLevel, 0, 2);
    if (signal.nStrength < kStationSignal[static_cast<size_t>(nLevel)]) {
        return false;
    }
    return nLevel != 0 || m_nBand != BAND_FM || signal.bStereo;
}

bool CV4l2Receiver::OwnSeek() {
    std::shared_ptr<CV4l2Radio> pRadio;
    int nBand;
    unsigned nStart;
    unsigned nSteps;
    {
        std::lock_guard lock(m_tuneMutex);
        if (!m_bSeekRunning || !m_pRadio) {
            return false;
        }
        pRadio = m_pRadio;
        nBand = m_nBand;
        nStart = m_frequency[nBand];
        const CTuningSteps steps = Steps(nBand);
        nSteps = (steps.Upper() - steps.Lower()) / steps.Spacing() + 2;
    }
    for (unsigned nStep = 0;; ++nStep) {
        STuned tuned;
        {
            std::lock_guard lock(m_tuneMutex);
            if (!m_bSeekRunning || m_pRadio != pRadio) {
                return false;
            }
            const bool bUp = m_nSeekDirection == SEEK_UP;
            TuneLocked(Steps(nBand).ChannelStep(m_frequency[nBand], bUp), tuned);
        }
        Publish(tuned);
        m_clock.Sleep(nBand == BAND_FM ? kFmSettle : kAmSettle);
        if (!m_bSeekRunning) {
            return false;
        }
        SV4l2Signal signal;
        const EV4l2Status eStatus = pRadio->Signal(signal);
        if (eStatus == EV4l2Status::Gone) {
            CancelSeek();
            PostToWindow(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
            return true;
        }
        const bool bStation = eStatus == EV4l2Status::Ok && IsStation(signal);
        const bool bRound = m_frequency[nBand] == nStart || nStep >= nSteps;
        if (!bStation && !bRound) {
            continue;
        }
        {
            std::lock_guard lock(m_tuneMutex);
            if (!m_bSeekRunning || m_pRadio != pRadio) {
                return false;
            }
            ClearSeekLocked();
            if (bStation) {
                m_nChannelFlag = signal.bStereo ? 0 : 1;
            } else {
                TuneLocked(nStart, tuned);
            }
        }
        Publish(tuned);
        if (bStation) {
            FoundStation();
        }
        return true;
    }
}

// Scanning -------------------------------------------------------------------

bool CV4l2Receiver::BeginScan() {
    std::lock_guard lock(m_tuneMutex);
    if (!m_pRadio) {
        return false;
    }
    ClearSeekLocked();
    m_bScanRunning = true;
    return true;
}

void CV4l2Receiver::EndScan() {
    std::lock_guard lock(m_tuneMutex);
    m_bScanRunning = false;
}

std::optional<SChannelTest> CV4l2Receiver::TestChannel(unsigned nFrequency,
                                                       std::chrono::milliseconds nameWait) {
    // A cancelled hardware seek still puts the radio back when it ends.
    while (m_bSeekThread && m_bScanRunning) {
        m_clock.Sleep(kStep);
    }
    std::shared_ptr<CV4l2Radio> pRadio;
    STuned tuned;
    int nBand;
    {
        std::lock_guard lock(m_tuneMutex);
        if (!m_bScanRunning || !m_pRadio) {
            return std::nullopt;
        }
        pRadio = m_pRadio;
        nBand = m_nBand;
        TuneLocked(nFrequency, tuned);
    }
    Publish(tuned);
    m_clock.Sleep(nBand == BAND_FM ? kFmSettle : kAmSettle);
    if (!m_bScanRunning) {
        return std::nullopt;
    }
    SV4l2Signal signal;
    const EV4l2Status eStatus = pRadio->Signal(signal);
    if (eStatus == EV4l2Status::Gone) {
        PostToWindow(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
        return std::nullopt;
    }
    SChannelTest test;
    test.bStation = eStatus == EV4l2Status::Ok && IsStation(signal);
    if (!test.bStation) {
        return test;
    }
    test.nSignal = static_cast<int>(signal.nStrength * 100 / 65535);
    test.bStereo = signal.bStereo;
    if (pRadio->Caps().bRds) {
        test.strStation = WaitForName(nameWait);
    }
    return m_bScanRunning ? std::optional(test) : std::nullopt;
}

std::string CV4l2Receiver::WaitForName(std::chrono::milliseconds nameWait) {
    for (std::chrono::milliseconds waited{0};; waited += kStep) {
        {
            std::lock_guard lock(m_rdsMutex);
            if (!m_rds.Station().empty()) {
                return m_rds.Station();
            }
        }
        if (waited >= nameWait || !m_bScanRunning) {
            return {};
        }
        m_clock.Sleep(kStep);
    }
}

void CV4l2Receiver::FoundStation() {
    if (CMessageTarget* pWindow = m_pWindow.load()) {
        pWindow->Send(WM_SEEK_FOUND, 0, 0);
    }
}

// Reading, RDS and the status loop --------------------------------------------

SReceiverReading CV4l2Receiver::Reading() const {
    SReceiverReading reading;
    SV4l2Signal signal;
    if (m_pRadio && m_pRadio->Signal(signal) == EV4l2Status::Ok) {
        reading.nSignal = static_cast<int>(signal.nStrength * 100 / 65535);
        reading.bStereo = signal.bStereo;
        reading.nChannelFlag = signal.bStereo ? 0 : 1;
    }
    std::lock_guard lock(m_rdsMutex);
    reading.strStation = m_rds.Station();
    reading.strRadioText = m_rds.RadioText();
    reading.strProblem = m_strProblem.empty() ? m_strAudioProblem : m_strProblem;
    return reading;
}

void CV4l2Receiver::SetProblem(const std::string& strProblem) {
    std::lock_guard lock(m_rdsMutex);
    m_strProblem = strProblem;
}

void CV4l2Receiver::SetAudioProblem(const std::string& strProblem) {
    if (!strProblem.empty()) {
        KestrelTrace(kTag, "%s", strProblem.c_str());
    }
    std::lock_guard lock(m_rdsMutex);
    m_strAudioProblem = strProblem;
}

void CV4l2Receiver::ReportStatus(EV4l2Status eStatus, const char* pWhat) {
    if (eStatus == EV4l2Status::Ok || eStatus == EV4l2Status::NoStation) {
        return;
    }
    const std::string strError = m_pRadio ? m_pRadio->LastError() : std::string();
    const std::string strProblem = std::string("The radio ") + StatusText(eStatus) + " (" + pWhat +
                                   (strError.empty() ? "" : ": " + strError) + ").";
    KestrelTrace(kTag, "%s", strProblem.c_str());
    SetProblem(strProblem);
    PostToWindow(WM_DEVICE_REPORT, DEVICE_REPORT_READING);
}

void CV4l2Receiver::PostToWindow(uint32_t nMessage, uintptr_t wParam) {
    if (CMessageTarget* pWindow = m_pWindow.load()) {
        pWindow->Post(nMessage, wParam, 0);
    }
}

// RDS blocks as they come, and the signal a few times a second: the window
// hears of a change, never of the same reading twice.
void CV4l2Receiver::StatusLoop(CPollLoop& loop) {
    std::shared_ptr<CV4l2Radio> pRadio;
    {
        std::lock_guard lock(m_tuneMutex);
        pRadio = m_pRadio;
    }
    if (!pRadio) {
        return;
    }
    const int nFd = pRadio->PollFd();
    auto nextSignal = std::chrono::steady_clock::now();
    EV4l2Status eToldRds = EV4l2Status::Ok;
    for (;;) {
        pollfd fd{nFd, POLLIN, 0};
        const CPollLoop::EWake eWake =
            loop.Wait(std::span<pollfd>(&fd, nFd >= 0 ? 1 : 0),
                      static_cast<int>(std::chrono::milliseconds(kSignalPeriod).count()));
        if (eWake == CPollLoop::EWake::Stopped || eWake == CPollLoop::EWake::Failed) {
            return;
        }
        bool bChanged = false;
        bool bGone =
            eWake == CPollLoop::EWake::Ready && (fd.revents & (POLLERR | POLLHUP | POLLNVAL));
        if (nFd >= 0 && !bGone) {
            std::vector<SRdsBlock> blocks;
            const EV4l2Status eStatus = pRadio->ReadRds(blocks);
            bGone = eStatus == EV4l2Status::Gone;
            // Said once: without RDS the radio still plays.
            if (eStatus != EV4l2Status::Ok && eStatus != eToldRds && !bGone) {
                KestrelTrace(kTag, "no RDS: %s", pRadio->LastError().c_str());
            }
            eToldRds = eStatus;
            std::lock_guard lock(m_rdsMutex);
            for (const SRdsBlock& block : blocks) {
                bChanged |= (m_rds.Add(block) & (CRdsDecoder::kStation | CRdsDecoder::kRadioText |
                                                 CRdsDecoder::kPi)) != 0;
            }
        }
        if (!bGone && std::chrono::steady_clock::now() >= nextSignal) {
            nextSignal = std::chrono::steady_clock::now() + kSignalPeriod;
            SV4l2Signal signal;
            const EV4l2Status eStatus = pRadio->Signal(signal);
            bGone = eStatus == EV4l2Status::Gone;
            const int nSignal = static_cast<int>(signal.nStrength * 10 / 65536);
            std::lock_guard lock(m_rdsMutex);
            if (eStatus == EV4l2Status::Ok &&
                (nSignal != m_nToldSignal || signal.bStereo != m_bToldStereo)) {
                m_nToldSignal = nSignal;
                m_bToldStereo = signal.bStereo;
                bChanged = true;
            }
        }
        if (bGone) {
            KestrelTrace(kTag, "the radio went: %s", pRadio->LastError().c_str());
            PostToWindow(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
            return;
        }
        if (bChanged) {
            PostToWindow(WM_DEVICE_REPORT, DEVICE_REPORT_READING);
        }
        // Some drivers (vivid) always poll readable: RDS comes at 46 blocks
        // a second, so a short rest loses nothing.
        if (loop.Wait({}, static_cast<int>(std::chrono::milliseconds(kStatusPeriod).count())) ==
            CPollLoop::EWake::Stopped) {
            return;
        }
    }
}

// Audio -----------------------------------------------------------------------

std::shared_ptr<CAudioFeed> CV4l2Receiver::AudioFeed() const {
    return m_bOwnAudio ? m_pFeed : nullptr;
}

void CV4l2Receiver::StartAudio() {
    if (m_device.strCaptureDevice.empty()) {
        return;
    }
    std::string strWhy;
    m_pCapture = m_services.capture.Start(
        m_device.strCaptureDevice, m_pFeed,
        [this](const std::string& strFailure) {
            SetAudioProblem("The radio's sound card stopped: " + strFailure);
            PostToWindow(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED);
        },
        strWhy);
    if (!m_pCapture) {
        SetAudioProblem("The radio's sound card cannot be opened: " + strWhy);
        return;
    }
    StartListening();
}

void CV4l2Receiver::StartListening() {
    if (m_nMute || !m_pCapture || m_pListening) {
        return;
    }
    std::string strWhy;
    m_pListening = m_services.output.Play(m_pFeed, strWhy);
    if (!m_pListening) {
        SetAudioProblem("The radio cannot be heard: " + strWhy);
    }
}

void CV4l2Receiver::StopAudio() {
    m_pListening.reset();
    m_pCapture.reset();
}
