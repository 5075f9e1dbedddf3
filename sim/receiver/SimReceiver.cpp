#include "sim/receiver/SimReceiver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "simreceiver";
constexpr int BAND_AM = 0;
constexpr int BAND_FM = 1;
constexpr uint8_t kStatusRequest = 0x2A;
constexpr uint8_t kNoSignal = 0x80;
// The stereo decoder's pilot lamp, high on a stereo station. The tuner's
// channel flag is set when it is low, and the panel's two-lamp indicator
// lights one lamp for that flag (mono) and both without it (stereo).
constexpr uint8_t kStereo = 0x40;
constexpr size_t kMaxKeptReports = 65536;
constexpr size_t kMaxReportLength = 1024;

// How far off its frequency a station of strength 1 is still heard: one
// channel on FM and on either AM plan, never two. A weaker station carries
// proportionally less far, the weakest only on the spot.
constexpr int kFmReachKHz = 150;
constexpr int kAmReachKHz = 12;
// What the IF counter reads between stations: well off any scan window.
constexpr int kFmNoiseOffset = 150;
constexpr int kAmNoiseOffset = 30;
constexpr double kMinStrength = 0.05;

}  // namespace

CSimReceiver::CSimReceiver()
    : m_stations(BuiltInStations()), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (!m_wake.IsValid()) {
        KestrelTrace(kTag, "eventfd failed: %s", std::strerror(errno));
        std::abort();
    }
    if (!m_loop.Start([this](CPollLoop& loop) { Run(loop); })) {
        KestrelTrace(kTag, "no serving thread: %s", std::strerror(errno));
        std::abort();
    }
}

CSimReceiver::~CSimReceiver() {
    m_loop.Stop();
}

SSimHidInterface CSimReceiver::Interface(std::shared_ptr<CSimReceiver> pReceiver) {
    SSimHidInterface description;
    description.nVendorID = kVendorID;
    description.nProductID = kProductID;
    description.caps = {kInputReportLength, kOutputReportLength};
    description.pEndpoint = std::move(pReceiver);
    return description;
}

std::vector<SSimStation> CSimReceiver::BuiltInStations() {
    return {
        // FM, Japan plan (76.00-90.00 MHz)
        {BAND_FM, 7650, 1.0, true},
        {BAND_FM, 7800, 0.8, true},
        {BAND_FM, 8000, 1.0, true},
        {BAND_FM, 8250, 0.4, false},
        {BAND_FM, 8520, 1.0, true},
        // FM, both plans (87.50-90.00 MHz)
        {BAND_FM, 8800, 0.9, true},
        {BAND_FM, 8950, 0.5, false},
        // FM, Europe and USA plan (87.50-108.00 MHz)
        {BAND_FM, 9150, 1.0, true},
        {BAND_FM, 9470, 0.4, false},
        {BAND_FM, 9830, 0.8, true},
        {BAND_FM, 10070, 1.0, false},
        {BAND_FM, 10550, 1.0, true},
        {BAND_FM, 10790, 0.35, true},
        // AM, 9 kHz grid (522-1629 kHz)
        {BAND_AM, 594, 1.0, false},
        {BAND_AM, 693, 0.8, false},
        {BAND_AM, 828, 1.0, false},
        {BAND_AM, 954, 0.4, false},
        {BAND_AM, 1134, 1.0, false},
        {BAND_AM, 1332, 0.8, false},
        {BAND_AM, 1620, 0.4, false},
        // AM, 10 kHz grid (520-1710 kHz)
        {BAND_AM, 560, 1.0, false},
        {BAND_AM, 710, 0.8, false},
        {BAND_AM, 880, 1.0, false},
        {BAND_AM, 1010, 0.4, false},
        {BAND_AM, 1200, 1.0, false},
        {BAND_AM, 1500, 0.8, false},
        {BAND_AM, 1700, 0.4, false},
    };
}

void CSimReceiver::Connect(CUniqueFd fd) {
    {
        std::lock_guard lock(m_mutex);
        m_connections.push_back(std::move(fd));
    }
    ::eventfd_write(m_wake.Get(), 1);
}

// Only the serving thread closes connections; shutting them down here is
// safe while it polls them, and the hosts see the hang-up at once.
void CSimReceiver::Disconnect() {
    std::lock_guard lock(m_mutex);
    for (const CUniqueFd& fd : m_connections) {
        ::shutdown(fd.Get(), SHUT_RDWR);
    }
}

void CSimReceiver::CloseConnection(int fd) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_connections, [fd](const CUniqueFd& c) { return c.Get() == fd; });
}

// The wake event brings new connections into the wait.
void CSimReceiver::Run(CPollLoop& loop) {
    std::vector<pollfd> fds;
    for (;;) {
        fds.assign(1, {m_wake.Get(), POLLIN, 0});
        {
            std::lock_guard lock(m_mutex);
            for (const CUniqueFd& fd : m_connections) {
                fds.push_back({fd.Get(), POLLIN, 0});
            }
        }
        const CPollLoop::EWake wake = loop.Wait(fds);
        if (wake == CPollLoop::EWake::Stopped) {
            return;
        }
        if (wake == CPollLoop::EWake::Failed) {
            KestrelTrace(kTag, "poll failed: %s", std::strerror(errno));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (fds[0].revents != 0) {
            eventfd_t value;
            ::eventfd_read(m_wake.Get(), &value);
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                Serve(fds[i].fd);
            }
        }
    }
}

void CSimReceiver::Serve(int fd) {
    uint8_t report[kMaxReportLength];
    const ssize_t n = ::recv(fd, report, sizeof(report), MSG_DONTWAIT);
    if (n > 0) {
        HandleReport(report, static_cast<size_t>(n), std::chrono::steady_clock::now());
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    CloseConnection(fd);  // the host closed its handle, or the receiver was unplugged
}

void CSimReceiver::HandleReport(const uint8_t* report, size_t length,
                                std::chrono::steady_clock::time_point arrival) {
    {
        std::lock_guard lock(m_mutex);
        m_reports.push_back({std::vector<uint8_t>(report, report + length), arrival});
        if (m_reports.size() > kMaxKeptReports) {
            m_reports.pop_front();
        }
        ++m_nReportCount;

        // Bytes 1..8 carry the payload; a short report reads as zeros.
        uint8_t payload[8] = {};
        std::copy(report + 1, report + std::min<size_t>(length, 9), payload);
        const bool bStatusRequest = payload[0] == kStatusRequest;
        if (!bStatusRequest && !DecodeImage(payload)) {
            KestrelTrace(kTag, "output report is neither a register image nor a status request");
        }
        const std::vector<uint8_t> answer = BuildAnswer(bStatusRequest);
        for (const CUniqueFd& fd : m_connections) {
            // Never blocks: a handle that does not read (the link's write
            // handle) just misses reports, as a full hidraw queue drops them.
            ::send(fd.Get(), answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        }
    }
    m_reportArrived.notify_all();
}

bool CSimReceiver::DecodeImage(const uint8_t image[8]) {
    if (image[0] != 0x28 || image[4] != 0x29) {
        return false;
    }
    int nBand;
    switch (image[3] & ~0x04) {
        case 0x03:
            nBand = BAND_FM;
            break;
        case 0xC0:
            nBand = BAND_AM;
            break;
        default:
            KestrelTrace(kTag, "unknown band byte 0x%02X", image[3]);
            return false;
    }
    const int nWord = image[1] | (image[2] << 8);
    int nFrequency;
    if (nBand == BAND_FM) {
        nFrequency = (50 * nWord - 10700) / 10;
    } else {
        const int nReference = m_nAmStep == 10 ? 5 : 3;
        nFrequency = (nWord >> 4) * nReference - 450;
    }
    int nMode = 0;
    switch (image[6]) {
        case 0x0C:
            nMode = 1;
            break;
        case 0x04:
            nMode = 2;
            break;
        case 0x00:
            break;
        default:
            KestrelTrace(kTag, "unknown tuning mode byte 0x%02X, taken as normal", image[6]);
            break;
    }
    m_state.bTuned = true;
    m_state.nBand = nBand;
    m_state.nFrequency = static_cast<unsigned>(std::max(0, nFrequency));
    m_state.bMuted = (image[5] & 0x20) != 0;
    m_state.nMode = nMode;
    m_state.bChannelFlag = (image[5] & 0x80) != 0;
    return true;
}

// A PLL receiver mixes the tuned frequency down to its IF, so a station off
// the tuned frequency shows in the IF count by just as much, in kHz. The
// station nearest the tuned frequency among those heard there is received.
CSimReceiver::SReception CSimReceiver::Receive() const {
    SReception best;
    if (!m_state.bTuned) {
        return best;
    }
    const bool bFm = m_state.nBand == BAND_FM;
    const int nTuned = static_cast<int>(m_state.nFrequency);
    for (size_t i = 0; i < m_stations.size(); ++i) {
        const SSimStation& station = m_stations[i];
        if (station.nBand != m_state.nBand || !OnTheAir(station)) {
            continue;
        }
        const int nMistuned = (nTuned - static_cast<int>(station.nFrequency)) * (bFm ? 10 : 1);
        if (std::abs(nMistuned) > Reach(station) ||
            (best.bSignal && std::abs(nMistuned) >= std::abs(best.nDeviation))) {
            continue;
        }
        best = {true, static_cast<int>(i), nMistuned};
    }
    return best;
}

// The AM plan stands for the region the receiver listens in: its
// broadcasters keep to that plan's channel grid (9 or 10 kHz multiples).
bool CSimReceiver::OnTheAir(const SSimStation& station) const {
    return station.nBand == BAND_FM || station.nFrequency % static_cast<unsigned>(m_nAmStep) == 0;
}

double CSimReceiver::Reach(const SSimStation& station) {
    const double dStrength = std::clamp(station.dStrength, kMinStrength, 1.0);
    return dStrength * (station.nBand == BAND_FM ? kFmReachKHz : kAmReachKHz);
}

std::vector<uint8_t> CSimReceiver::BuildAnswer(bool bStatusRequest) {
    const bool bFm = m_state.nBand == BAND_FM;
    const int nNominal = static_cast<int>(bFm ? kFmIf : kAmIf);
    const SReception reception = Receive();
    uint8_t nStatus = kNoSignal;
    int nCount = nNominal + (bFm ? kFmNoiseOffset : kAmNoiseOffset);
    if (reception.bSignal) {
        nStatus = m_stations[static_cast<size_t>(reception.nStation)].bStereo ? kStereo : 0;
        nCount = nNominal + reception.nDeviation;
    }
    if (m_forcedStatus) {
        nStatus = *m_forcedStatus;
        m_forcedStatus.reset();
    }
    if (bStatusRequest && m_forcedIfCount) {
        nCount = static_cast<int>(*m_forcedIfCount);
        m_forcedIfCount.reset();
    }
    const unsigned nWire = (static_cast<unsigned>(std::max(0, nCount)) << 2) & 0xFFFF;
    std::vector<uint8_t> answer(kInputReportLength, 0);
    answer[1] = nStatus;
    answer[2] = static_cast<uint8_t>(nWire >> 8);
    answer[3] = static_cast<uint8_t>(nWire & 0xFF);
    return answer;
}

SSimProgramme CSimReceiver::CurrentProgramme() const {
    std::lock_guard lock(m_mutex);
    SSimProgramme programme{!m_state.bTuned || m_state.bMuted, false, -1, 0.0, 0.0};
    const SReception reception = Receive();
    if (!reception.bSignal) {
        return programme;
    }
    const SSimStation& station = m_stations[static_cast<size_t>(reception.nStation)];
    programme.bOnStation = true;
    programme.nStation = reception.nStation;
    programme.dToneHz = 300.0 + 45.0 * reception.nStation;
    programme.dLevel = std::clamp(station.dStrength, 0.0, 1.0) *
                       (1.0 - std::abs(reception.nDeviation) / (Reach(station) + 1.0));
    return programme;
}

void CSimReceiver::SetStations(std::vector<SSimStation> stations) {
    std::lock_guard lock(m_mutex);
    m_stations = std::move(stations);
}

std::vector<SSimStation> CSimReceiver::Stations() const {
    std::lock_guard lock(m_mutex);
    return m_stations;
}

void CSimReceiver::SetAmPlan(int nStepKHz) {
    if (nStepKHz != 9 && nStepKHz != 10) {
        KestrelTrace(kTag, "no AM plan with %d kHz channels", nStepKHz);
        return;
    }
    std::lock_guard lock(m_mutex);
    m_nAmStep = nStepKHz;
}

void CSimReceiver::ForceNextStatus(uint8_t nStatus) {
    std::lock_guard lock(m_mutex);
    m_forcedStatus = nStatus;
}

void CSimReceiver::ForceNextIfCount(unsigned nCount) {
    std::lock_guard lock(m_mutex);
    m_forcedIfCount = nCount;
}

SSimTunedState CSimReceiver::TunedState() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

std::vector<SSimReceivedReport> CSimReceiver::Reports() const {
    std::lock_guard lock(m_mutex);
    return {m_reports.begin(), m_reports.end()};
}

size_t CSimReceiver::ReportCount() const {
    std::lock_guard lock(m_mutex);
    return m_nReportCount;
}

bool CSimReceiver::WaitForReports(size_t nCount, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_reportArrived.wait_for(lock, timeout, [&] { return m_nReportCount >= nCount; });
}

void CSimReceiver::ClearReports() {
    std::lock_guard lock(m_mutex);
    m_reports.clear();
    m_nReportCount = 0;
}

int CSimReceiver::Connections() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_connections.size());
}
