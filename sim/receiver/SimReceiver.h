#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/hid/SimHidControl.h"
#include "platform/hid/SimHidEndpoint.h"
#include "platform/posix/PollLoop.h"
#include "platform/posix/UniqueFd.h"
#include "sim/receiver/SimProgramme.h"

struct SSimStation {
    int nBand;            // 1 FM, 0 AM
    unsigned nFrequency;  // FM in 10 kHz units, AM in kHz
    double dStrength;     // 0..1; 1 is heard one channel away, weak ones only on the spot
    bool bStereo;         // answered with status bit 6 set
};

struct SSimTunedState {
    bool bTuned = false;  // a register image has arrived
    int nBand = 1;
    unsigned nFrequency = 0;
    bool bMuted = false;  // register byte 5 bit 5: mute, seek step or IF count
    int nMode = 0;        // 0 normal, 1 seek step, 2 IF count
    bool bChannelFlag = false;
};

struct SSimReceivedReport {
    std::vector<uint8_t> bytes;  // as written, byte 0 = report id
    std::chrono::steady_clock::time_point arrival;
};

// The receiver from its own side: decodes every output report (a register
// image or the status request 0x2A), keeps what it is tuned to, and answers
// every output report with one input report whose no-signal bit, stereo bit
// and IF count follow a list of stations. The IF count moves one-for-one with
// the mistuning, as a PLL receiver's does. On AM only the stations on the
// grid of the AM plan it is set to are on the air. Serves its connections on
// its own thread; every control operation may be called from any thread.
class CSimReceiver : public CSimHidEndpoint, public CSimProgrammeSource {
public:
    static constexpr uint16_t kVendorID = 0x03B4;
    static constexpr uint16_t kProductID = 0x3113;
    static constexpr uint16_t kInputReportLength = 9;
    static constexpr uint16_t kOutputReportLength = 9;
    static constexpr unsigned kFmIf = 10700;
    static constexpr unsigned kAmIf = 450;

    CSimReceiver();
    ~CSimReceiver() override;

    CSimReceiver(const CSimReceiver&) = delete;
    CSimReceiver& operator=(const CSimReceiver&) = delete;

    // The interface a simulated HID back-end adds for this receiver.
    static SSimHidInterface Interface(std::shared_ptr<CSimReceiver> pReceiver);
    // FM and AM stations over the Japan and Europe/USA FM plans and both AM
    // plans' channel grids, strong and weak, stereo and mono.
    static std::vector<SSimStation> BuiltInStations();

    void Connect(CUniqueFd fd) override;
    void Disconnect() override;
    bool AcceptsWrites() const override { return !m_bWritesFail; }

    SSimProgramme CurrentProgramme() const override;

    void SetStations(std::vector<SSimStation> stations);
    std::vector<SSimStation> Stations() const;
    // The register image cannot tell the AM plans apart: 9 (the default) or
    // 10 kHz. The plan also picks which AM stations are on the air.
    void SetAmPlan(int nStepKHz);
    // The status byte (input byte 1) of the next answer, whatever the stations say.
    void ForceNextStatus(uint8_t nStatus);
    // The IF count of the next answer to a status request (up to 16383).
    void ForceNextIfCount(unsigned nCount);
    void SetWritesFail(bool bFail) { m_bWritesFail = bFail; }

    SSimTunedState TunedState() const;
    // The most recent reports (the oldest are dropped past a long run's worth).
    std::vector<SSimReceivedReport> Reports() const;
    // Reports received since construction or ClearReports().
    size_t ReportCount() const;
    bool WaitForReports(size_t nCount, std::chrono::milliseconds timeout) const;
    void ClearReports();
    int Connections() const;

private:
    struct SReception {
        bool bSignal = false;
        int nStation = -1;
        int nDeviation = 0;  // kHz from the nominal IF: the mistuning
    };

    void Run(CPollLoop& loop);
    void Serve(int fd);
    void HandleReport(const uint8_t* report, size_t length,
                      std::chrono::steady_clock::time_point arrival);
    // Both return false for what is not theirs; called under m_mutex.
    bool DecodeImage(const uint8_t image[8]);
    std::vector<uint8_t> BuildAnswer(bool bStatusRequest);
    SReception Receive() const;
    bool OnTheAir(const SSimStation& station) const;
    // kHz off its frequency within which the station is heard.
    static double Reach(const SSimStation& station);
    void CloseConnection(int fd);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_reportArrived;
    std::vector<SSimStation> m_stations;
    int m_nAmStep = 9;
    SSimTunedState m_state;
    std::optional<uint8_t> m_forcedStatus;
    std::optional<unsigned> m_forcedIfCount;
    std::deque<SSimReceivedReport> m_reports;
    size_t m_nReportCount = 0;
    std::vector<CUniqueFd> m_connections;
    std::atomic<bool> m_bWritesFail{false};
    CUniqueFd m_wake;  // eventfd: a new connection
    CPollLoop m_loop;  // the serving thread; goes first
};
