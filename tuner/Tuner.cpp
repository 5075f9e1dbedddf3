#include "tuner/Tuner.h"

#include <cstdio>

#include "device/HidDevice.h"
#include "platform/window/WindowMessages.h"

namespace {

constexpr uint8_t kStatusRequest = 0x2A;
constexpr uint8_t kNoSignalBit = 0x80;
constexpr uint8_t kStereoBit = 0x40;
constexpr unsigned kFmIf = 10700;
constexpr unsigned kAmIf = 450;

unsigned IfCount(const uint8_t report[4]) {
    return ((unsigned{report[2]} << 8) | report[3]) >> 2;
}

std::string FormatDisplay(int nBand, unsigned frequency) {
    char text[32];
    if (nBand == CTuner::BAND_FM) {
        std::snprintf(text, sizeof(text), "%.2fMHz", frequency * 0.01);
    } else {
        std::snprintf(text, sizeof(text), "%dKHz", static_cast<int>(frequency));
    }
    return text;
}

}  // namespace

CTuner::CTuner(CProfile& profile, CClock& clock) : m_settings(profile), m_clock(clock) {
    LoadBandPlan();
    m_nAmFreq = m_settings.AmFrequency();
    m_nFmFreq = m_settings.FmFrequency();
}

CTuner::~CTuner() {
    JoinSeek();
}

void CTuner::LoadBandPlan() {
    const CTuningSteps::SPlan plan =
        CTuningSteps::PlanOf(m_settings.Standard(), {m_nAmStep, m_nFmRange});
    m_nAmStep = plan.nAmStep;
    m_nFmRange = plan.nFmRange;
    m_nTolerance = m_settings.ScanLevel() * 5;
    SetLimits();
}

void CTuner::SetLimits() {
    const CTuningSteps am = Steps(BAND_AM);
    const CTuningSteps fm = Steps(BAND_FM);
    m_nAmLower = am.Lower();
    m_nAmUpper = am.Upper();
    m_nFmLower = fm.Lower();
    m_nFmUpper = fm.Upper();
}

unsigned CTuner::LowerLimit(int nBand) const {
    return nBand == BAND_FM ? m_nFmLower : m_nAmLower;
}

unsigned CTuner::UpperLimit(int nBand) const {
    return nBand == BAND_FM ? m_nFmUpper : m_nAmUpper;
}

unsigned CTuner::Wrap(unsigned frequency) const {
    const int nBand = m_nBand;
    if (frequency < LowerLimit(nBand)) {
        return UpperLimit(nBand);
    }
    if (frequency > UpperLimit(nBand)) {
        return LowerLimit(nBand);
    }
    return frequency;
}

uint16_t CTuner::PllWord(unsigned frequency) const {
    if (m_nBand == BAND_FM) {
        return static_cast<uint16_t>((10 * frequency + 10700) / 50);
    }
    unsigned reference = m_nAmStep == AM_STEP_10KHZ ? 5 : 3;
    return static_cast<uint16_t>(((frequency + 450) / reference) << 4);
}

unsigned CTuner::CurrentFrequency() const {
    return Frequency(m_nBand);
}

unsigned CTuner::Frequency(int nBand) const {
    return nBand == BAND_FM ? m_nFmFreq.load() : m_nAmFreq.load();
}

void CTuner::SetCurrentFrequency(unsigned frequency) {
    SetFrequency(m_nBand, frequency);
}

void CTuner::SetFrequency(int nBand, unsigned frequency) {
    (nBand == BAND_FM ? m_nFmFreq : m_nAmFreq) = frequency;
}

std::string CTuner::FormatFrequency(unsigned frequency) const {
    return FormatDisplay(m_nBand, frequency);
}

void CTuner::BuildImage(unsigned frequency) {
    const bool bFm = m_nBand == BAND_FM;
    const int nMode = m_nTuningMode;
    const uint16_t word = PllWord(frequency);
    m_image[0] = 0x28;
    m_image[1] = static_cast<uint8_t>(word & 0xFF);
    m_image[2] = static_cast<uint8_t>(word >> 8);
    m_image[3] = static_cast<uint8_t>((bFm ? 0x03 : 0xC0) | (nMode == MODE_IF_COUNT ? 0x04 : 0));
    m_image[4] = 0x29;
    uint8_t byte5 = bFm ? 0x52 : 0x12;
    if (nMode == MODE_SEEK_STEP || nMode == MODE_IF_COUNT || m_nMute) {
        byte5 |= 0x20;
    }
    if (m_nChannelFlag) {
        byte5 |= 0x80;
    }
    m_image[5] = byte5;
    m_image[6] = nMode == MODE_SEEK_STEP ? 0x0C : nMode == MODE_IF_COUNT ? 0x04 : 0x00;
    m_image[7] = 0x10;
}

bool CTuner::SendImageLocked() {
    if (!m_pDevice || !m_pDevice->SetOutputReport(m_image, sizeof(m_image))) {
        return false;
    }
    m_pDevice->Send();
    return true;
}

bool CTuner::SendImage() {
    std::lock_guard lock(m_tuneMutex);
    return SendImageLocked();
}

void CTuner::RequestStatus() {
    std::lock_guard lock(m_tuneMutex);
    const uint8_t request[8] = {kStatusRequest};
    if (m_pDevice && m_pDevice->SetOutputReport(request, sizeof(request))) {
        m_pDevice->Send();
    }
}

bool CTuner::TuneLocked(unsigned frequency, STuned& tuned) {
    if (frequency == 0) {
        frequency = CurrentFrequency();
    }
    frequency = Wrap(frequency);
    SetCurrentFrequency(frequency);
    for (uint8_t& byte : m_image) {
        byte = 0;
    }
    BuildImage(frequency);
    tuned = {++m_nGeneration, m_nBand, frequency};
    return SendImageLocked();
}

// The profile and the display follow the tunes in the order they were made:
// a worker's tune that lost the race to a newer one publishes nothing.
void CTuner::Publish(const STuned& tuned) {
    std::lock_guard lock(m_publishMutex);
    if (tuned.nGeneration <= m_nPublished) {
        return;
    }
    m_nPublished = tuned.nGeneration;
    const bool bFm = tuned.nBand == BAND_FM;
    m_settings.SetFrequency(bFm, tuned.frequency);
    if (m_pDisplay) {
        m_pDisplay->SetText(FormatDisplay(tuned.nBand, tuned.frequency));
    }
}

bool CTuner::Tune(unsigned frequency) {
    STuned tuned{};
    bool bSent;
    {
        std::lock_guard lock(m_tuneMutex);
        bSent = TuneLocked(frequency, tuned);
    }
    Publish(tuned);
    return bSent;
}

void CTuner::SetMute(int nFlag) {
    m_nMute = nFlag;
    Tune(0);
}

void CTuner::ClearSeekLocked() {
    m_bSeekRunning = 0;
    m_nSeekDirection = SEEK_NONE;
    m_nTuningMode = MODE_NORMAL;
}

bool CTuner::StopSeek(unsigned frequency) {
    STuned tuned{};
    bool bSent;
    {
        std::lock_guard lock(m_tuneMutex);
        ClearSeekLocked();
        bSent = TuneLocked(frequency, tuned);
    }
    Publish(tuned);
    return bSent;
}

void CTuner::CancelSeek() {
    std::lock_guard lock(m_tuneMutex);
    ClearSeekLocked();
}

bool CTuner::FinishSeek() {
    STuned tuned{};
    {
        std::lock_guard lock(m_tuneMutex);
        if (!m_bSeekRunning) {
            return false;
        }
        ClearSeekLocked();
        TuneLocked(0, tuned);
    }
    Publish(tuned);
    return true;
}

bool CTuner::StartSeek(int nDirection) {
    if (m_bSeekRunning && m_nSeekDirection == nDirection) {
        m_bSeekRunning = 0;
        m_clock.Sleep(std::chrono::milliseconds(200));
        StopSeek(0);
        return false;
    }
    std::lock_guard lock(m_seekMutex);
    m_nSeekDirection = nDirection;
    m_bSeekRunning = 1;
    if (m_bSeekThread) {
        return true;
    }
    if (m_seekThread.joinable()) {
        m_seekThread.join();  // has ended: it cleared the field as its last act
    }
    m_bSeekThread = true;
    m_seekThread = std::thread(&CTuner::SeekThreadProc, this);
    return true;
}

void CTuner::JoinSeek() {
    m_bSeekRunning = 0;
    if (m_seekThread.joinable()) {
        m_seekThread.join();
    }
}

int CTuner::ChannelStep() const {
    return static_cast<int>(Steps().Spacing());
}

bool CTuner::SeekTune(const std::atomic<int>& bRunning, int nMode, int nStep,
                      const uint8_t* pStatus, unsigned nFrequency) {
    STuned tuned{};
    {
        std::lock_guard lock(m_tuneMutex);
        if (!bRunning) {
            return false;
        }
        m_nTuningMode = nMode;
        if (nFrequency != 0) {
            SetCurrentFrequency(Wrap(nFrequency));
        } else if (nStep != 0) {
            SetCurrentFrequency(Wrap(CurrentFrequency() + static_cast<unsigned>(nStep)));
        }
        if (pStatus) {
            m_nChannelFlag = (pStatus[1] & kStereoBit) ? 0 : 1;
        }
        TuneLocked(0, tuned);
        if (pStatus) {
            m_nTuningOffset = TuningOffset(IfCount(pStatus));
        }
    }
    Publish(tuned);
    return true;
}

bool CTuner::SeekRequestStatus(const std::atomic<int>& bRunning) {
    std::lock_guard lock(m_tuneMutex);
    if (!bRunning) {
        return false;
    }
    const uint8_t request[8] = {kStatusRequest};
    if (m_pDevice && m_pDevice->SetOutputReport(request, sizeof(request))) {
        m_pDevice->Send();
    }
    return true;
}

bool CTuner::ReadStatus(uint8_t report[4]) const {
    return m_pDevice && m_pDevice->ReadInputReport(report, 4);
}

bool CTuner::InStationWindow(unsigned count) const {
    const int c = static_cast<int>(count);
    const int t = m_nTolerance;
    if (m_nBand == BAND_FM) {
        return 10690 - t <= c && c <= 10710 + t;
    }
    return 447 - t / 5 <= c && c <= 453 + t / 5;
}

int CTuner::TuningOffset(unsigned count) const {
    const int c = static_cast<int>(count);
    if (m_nBand == BAND_FM) {
        return c < static_cast<int>(kFmIf) ? c - 10680 : 10720 - c;
    }
    return c < static_cast<int>(kAmIf) ? c - 444 : 456 - c;
}

CTuner::ETest CTuner::TestStation(const std::atomic<int>& bRunning, int nStep,
                                  unsigned nFrequency) {
    using std::chrono::milliseconds;
    if (!SeekTune(bRunning, MODE_SEEK_STEP, nStep, nullptr, nFrequency)) {
        return ETest::Stopped;
    }
    const unsigned frequency = CurrentFrequency();
    const bool bEdge = frequency == LowerLimit(m_nBand) || frequency == UpperLimit(m_nBand);
    m_clock.Sleep(milliseconds(bEdge ? 500 : 110));
    if (!bRunning) {
        return ETest::Stopped;
    }
    uint8_t report[4] = {};
    if (!ReadStatus(report) || (report[1] & kNoSignalBit)) {
        return ETest::Silent;
    }
    if (!SeekTune(bRunning, MODE_IF_COUNT, 0)) {
        return ETest::Stopped;
    }
    m_clock.Sleep(milliseconds(110));
    if (!bRunning) {
        return ETest::Stopped;
    }
    if (!ReadStatus(report) || (report[1] & kNoSignalBit)) {
        return SeekTune(bRunning, MODE_NORMAL, 0) ? ETest::Silent : ETest::Stopped;
    }
    if (!SeekRequestStatus(bRunning)) {
        return ETest::Stopped;
    }
    m_clock.Sleep(milliseconds(100));
    const bool bMeasured = ReadStatus(report);
    if (!SeekTune(bRunning, MODE_NORMAL, 0, bMeasured ? report : nullptr)) {
        return ETest::Stopped;
    }
    return bMeasured && InStationWindow(IfCount(report)) ? ETest::Station : ETest::Silent;
}

void CTuner::SeekThreadProc() {
    for (;;) {
        const unsigned start = CurrentFrequency();
        for (;;) {
            const int nStep = m_nSeekDirection == SEEK_DOWN ? -ChannelStep() : ChannelStep();
            const ETest eTest = TestStation(m_bSeekRunning, nStep, 0);
            if (eTest == ETest::Stopped) {
                break;
            }
            if (eTest == ETest::Station) {
                if (FinishSeek()) {
                    if (CMessageTarget* pWindow = m_pDevice->NotifyWindow()) {
                        pWindow->Send(WM_SEEK_FOUND, 0, 0);
                    }
                }
                break;
            }
            if (CurrentFrequency() == start) {
                FinishSeek();
                break;
            }
            if (!m_bSeekRunning) {
                break;
            }
        }
        // A StartSeek that came after the last flag test found the thread
        // still there and started none: serve it instead of ending.
        std::lock_guard lock(m_seekMutex);
        if (!m_bSeekRunning) {
            m_nTuningMode = MODE_NORMAL;
            m_bSeekThread = false;
            return;
        }
    }
}

void CTuner::BeginScan() {
    CancelSeek();
    m_bScanRunning = 1;
}

void CTuner::EndScan() {
    std::lock_guard lock(m_tuneMutex);
    m_bScanRunning = 0;
    m_nTuningMode = MODE_NORMAL;
}

std::optional<CTuner::SStationTest> CTuner::TestChannel(unsigned frequency) {
    const ETest eTest = TestStation(m_bScanRunning, 0, frequency);
    if (eTest == ETest::Stopped) {
        return std::nullopt;
    }
    SStationTest test;
    test.bStation = eTest == ETest::Station;
    test.bStereo = test.bStation && m_nChannelFlag == 0;
    return test;
}
