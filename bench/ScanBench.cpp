// A full FM band scan (Europe plan, 87.50-108.00 MHz: 206 channels) on the
// simulated HID, V4L2 and SDR receivers at each scan level, on the real
// clock, against its anchor measured in the same run: the seeks that walk
// the same band once round, stop by stop, with the same station test (the
// dwell times the seek prescribes for that many channels). Says whether
// every station on the band was found and nothing between them; the last
// line has the worst scan/seek ratio (target: 1.05).
//
//   scan_bench [hid|v4l2|sdr ...]   (all three by default)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SystemClock.h"
#include "platform/hid/SimHidServices.h"
#include "platform/profile/Profile.h"
#include "platform/sdr/SimSdrServices.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "platform/window/MessageTarget.h"
#include "receiver/BandScan.h"
#include "receiver/HidReceiver.h"
#include "receiver/SdrReceiver.h"
#include "receiver/V4l2Receiver.h"
#include "sim/receiver/SimReceiver.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class CWindow : public CMessageTarget {
public:
    void Post(uint32_t, uintptr_t, intptr_t) override {}
    intptr_t Send(uint32_t, uintptr_t, intptr_t) override { return 0; }
};

// One receiver of a kind on its simulated back-end, with its stations; the
// receiver goes first, before the services it uses.
struct SRig {
    std::vector<unsigned> stations;  // FM, 10 kHz units, in the band
    std::shared_ptr<CSimReceiver> pHid;
    std::unique_ptr<CSimHidServices> pHidServices;
    std::unique_ptr<CSimV4l2Services> pV4l2;
    std::unique_ptr<CSimAudioCaptureServices> pCapture;
    std::unique_ptr<CSimAudioOutputServices> pOutput;
    std::unique_ptr<CSimSdrServices> pSdr;
    std::unique_ptr<CReceiver> pReceiver;
};

const std::vector<unsigned> kPlaced = {8800, 8950, 9150, 9470, 9830, 10070, 10550, 10790};

SRig MakeRig(const std::string& strKind, CProfile& profile, CClock& clock) {
    SRig rig;
    rig.stations = kPlaced;
    rig.pOutput = std::make_unique<CSimAudioOutputServices>();
    if (strKind == "hid") {
        rig.pHid = std::make_shared<CSimReceiver>();
        std::vector<SSimStation> stations;
        for (const SSimStation& station : CSimReceiver::BuiltInStations()) {
            if (station.nBand == CReceiver::BAND_FM && station.nFrequency >= 8750) {
                stations.push_back(station);
            }
        }
        rig.stations.clear();
        for (const SSimStation& station : stations) {
            rig.stations.push_back(station.nFrequency);
        }
        rig.pHid->SetStations(stations);
        rig.pHidServices = std::make_unique<CSimHidServices>();
        rig.pHidServices->AddInterface(CSimReceiver::Interface(rig.pHid));
        rig.pReceiver = std::make_unique<CHidReceiver>(*rig.pHidServices, profile, clock);
    } else if (strKind == "v4l2") {
        rig.pV4l2 = std::make_unique<CSimV4l2Services>();
        rig.pCapture = std::make_unique<CSimAudioCaptureServices>();
        SSimV4l2Layout layout;
        layout.bHardwareSeek = false;
        const int nRadio = rig.pV4l2->AddRadio(layout);
        std::vector<SSimV4l2Station> stations;
        for (unsigned nFrequency : kPlaced) {
            stations.push_back({});
            stations.back().nHz = nFrequency * 10'000u;
            stations.back().bRds = false;
        }
        rig.pV4l2->SetStations(nRadio, stations);
        rig.pReceiver = std::make_unique<CV4l2Receiver>(
            SV4l2ReceiverServices{*rig.pV4l2, *rig.pCapture, *rig.pOutput}, profile, clock);
    } else {
        rig.pSdr = std::make_unique<CSimSdrServices>();
        const int nDongle = rig.pSdr->AddDongle({});
        std::vector<SSimSdrStation> stations;
        for (unsigned nFrequency : kPlaced) {
            stations.push_back({});
            stations.back().dHz = nFrequency * 10'000.0;
            stations.back().station.left = stations.back().station.right = {{1000, 0.3}};
        }
        rig.pSdr->SetStations(nDongle, stations);
        rig.pReceiver = std::make_unique<CSdrReceiver>(
            SSdrReceiverServices{*rig.pSdr, *rig.pOutput, 960'000}, profile, clock);
    }
    return rig;
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The seeks once round the band from its lower edge: their time.
double SeekRound(CReceiver& receiver) {
    const CTuningSteps steps = receiver.Steps(CReceiver::BAND_FM);
    receiver.Tune(steps.Lower());
    const auto start = Clock::now();
    unsigned nLast = steps.Lower();
    for (;;) {
        receiver.StartSeek(CReceiver::SEEK_UP);
        std::this_thread::sleep_for(1ms);
        while (receiver.IsSeeking()) {
            std::this_thread::sleep_for(1ms);
        }
        const unsigned nNow = receiver.Frequency(CReceiver::BAND_FM);
        if (nNow <= nLast) {
            return Seconds(start);
        }
        nLast = nNow;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each level as it ends
    std::vector<std::string> kinds = {"hid", "v4l2", "sdr"};
    if (argc > 1) {
        kinds.assign(argv + 1, argv + argc);
    }
    CSystemClock clock;
    CWindow window;
    double dWorst = 0;
    bool bAllFound = true;
    for (const std::string& strKind : kinds) {
        for (int nLevel = 0; nLevel <= 2; ++nLevel) {
            CTempDir dir;
            CProfile profile(dir.File("Kestrel.ini"));
            profile.WriteProfileInt("SET", "BAND", 0);
            profile.WriteProfileInt("SET", "SCANLEVEL", nLevel);
            SRig rig = MakeRig(strKind, profile, clock);
            CReceiver& receiver = *rig.pReceiver;
            receiver.LoadBandPlan();
            if (!receiver.Open(&window)) {
                std::printf("%s: the simulated receiver does not open\n", strKind.c_str());
                return 1;
            }
            receiver.SetBand(CReceiver::BAND_FM);
            std::this_thread::sleep_for(200ms);  // a dongle's first IQ
            std::printf("%-4s level %d: seeking round the band\n", strKind.c_str(), nLevel);
            const double dSeek = SeekRound(receiver);
            CBandScan scan(receiver, 0ms);
            const auto start = Clock::now();
            scan.Start({}, {});
            scan.Wait();
            const double dScan = Seconds(start);
            std::vector<unsigned> found;
            for (const SScanStation& station : scan.Stations()) {
                found.push_back(station.nFrequency);
            }
            const bool bFound = found == rig.stations;
            bAllFound = bAllFound && bFound;
            dWorst = std::max(dWorst, dScan / dSeek);
            std::printf(
                "%-4s level %d: scan %.2f s, seeks round %.2f s, ratio %.4f, %zu of %zu "
                "stations%s\n",
                strKind.c_str(), nLevel, dScan, dSeek, dScan / dSeek, found.size(),
                rig.stations.size(), bFound ? ", nothing between" : " (differs)");
            receiver.JoinSeek();
            receiver.Close();
        }
    }
    std::printf("every station found at every level: %s\n", bAllFound ? "yes" : "no");
    std::printf("worst scan time / seek dwell time: %.4f\n", dWorst);
    return bAllFound ? 0 : 1;
}
