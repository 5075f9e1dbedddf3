// How soon a V4L2 radio answers, on the simulated back-end: from Tune() onto
// a station to the window's reading that shows its signal, and from the
// moment the radio's own sound card hands a sound over to the moment the
// speaker is handed it: Kestrel's own share, to which the cards add their
// buffers (ALSA's are set to 100 ms). Medians and worst cases in
// milliseconds; the last line has both.
//
//   v4l2_bench [rounds (50)]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/clock/SystemClock.h"
#include "platform/profile/Profile.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "receiver/V4l2Receiver.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kCard = "plughw:CARD=Radio,DEV=0";
constexpr int16_t kClick = 20000;

// The window's side: when each reading was posted.
class CWindow : public CMessageTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
        if (message != WM_DEVICE_REPORT || wParam != DEVICE_REPORT_READING) {
            return;
        }
        std::lock_guard lock(m_mutex);
        m_readings.push_back(Clock::now());
    }
    intptr_t Send(uint32_t, uintptr_t, intptr_t) override { return 0; }
    std::vector<Clock::time_point> Readings() const {
        std::lock_guard lock(m_mutex);
        return m_readings;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Clock::time_point> m_readings;
};

// A click the sound card captures on request, and when the speaker played it.
class CClick {
public:
    void Request() {
        m_played = Clock::time_point{};
        m_bWanted = true;
    }
    void Fill(int16_t* pFrames, size_t nFrames) {
        const bool bClick = m_bWanted.exchange(false);
        if (bClick) {
            m_captured = Clock::now();
        }
        std::fill(pFrames, pFrames + 2 * nFrames, bClick ? kClick : int16_t{0});
    }
    void Played(const int16_t* pFrames, size_t nFrames) {
        if (std::any_of(pFrames, pFrames + 2 * nFrames, [](int16_t n) { return n == kClick; })) {
            std::lock_guard lock(m_mutex);
            m_played = Clock::now();
        }
    }
    bool Heard(double& dMs) {
        std::lock_guard lock(m_mutex);
        if (m_played == Clock::time_point{}) {
            return false;
        }
        dMs = std::chrono::duration<double, std::milli>(m_played - m_captured).count();
        return true;
    }

private:
    std::atomic<bool> m_bWanted{false};
    Clock::time_point m_captured;
    std::mutex m_mutex;
    Clock::time_point m_played;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
    const int nRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    CTempDir dir;
    CProfile profile(dir.File("Kestrel.ini"));
    profile.WriteProfileInt("SET", "BAND", 0);
    CSystemClock clock;
    CWindow window;
    CSimV4l2Services v4l2;
    CSimAudioCaptureServices capture;
    CSimAudioOutputServices output;
    CClick click;

    SSimV4l2Layout layout;
    layout.strCaptureDevice = kCard;
    layout.stations = {{95'000'000, true, {}}};
    v4l2.AddRadio(layout);
    capture.SetSource(kCard, [&](int16_t* pFrames, size_t nFrames, const CAudioFeed::SFormat&) {
        click.Fill(pFrames, nFrames);
    });
    output.SetListener(
        [&](const int16_t* pFrames, size_t nFrames) { click.Played(pFrames, nFrames); });

    CV4l2Receiver receiver({v4l2, capture, output}, profile, clock);
    receiver.SetBand(CReceiver::BAND_FM);
    receiver.LoadBandPlan();
    if (!receiver.Open(&window)) {
        std::printf("the simulated radio does not open\n");
        return 1;
    }

    // Tune -> the first reading that shows the station's signal.
    std::vector<double> tunes;
    for (int n = 0; n < nRounds; ++n) {
        receiver.Tune(9020);  // nothing there
        std::this_thread::sleep_for(20ms);
        const Clock::time_point started = Clock::now();
        receiver.Tune(9500);
        const Clock::time_point deadline = started + 2s;
        size_t nSeen = 0;
        while (tunes.size() == static_cast<size_t>(n) && Clock::now() < deadline) {
            const std::vector<Clock::time_point> readings = window.Readings();
            for (; nSeen < readings.size(); ++nSeen) {
                if (readings[nSeen] >= started && receiver.Reading().nSignal > 50) {
                    tunes.push_back(
                        std::chrono::duration<double, std::milli>(readings[nSeen] - started)
                            .count());
                    break;
                }
            }
            std::this_thread::sleep_for(1ms);
        }
        if (tunes.size() == static_cast<size_t>(n)) {
            std::printf("round %d: no reading showed the station within 2 s\n", n);
            return 1;
        }
    }

    // A click captured by the radio's card -> the speaker playing it.
    std::vector<double> listening;
    for (int n = 0; n < nRounds; ++n) {
        std::this_thread::sleep_for(50ms);
        click.Request();
        const Clock::time_point deadline = Clock::now() + 2s;
        double dMs = 0;
        while (!click.Heard(dMs) && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        if (!click.Heard(dMs)) {
            std::printf("round %d: the click was never played\n", n);
            return 1;
        }
        listening.push_back(dMs);
    }
    receiver.Close();

    std::printf("tune -> signal shown: median %.2f ms, worst %.2f ms of %d\n", Median(tunes),
                Worst(tunes), nRounds);
    std::printf("captured -> played: median %.2f ms, worst %.2f ms of %d\n", Median(listening),
                Worst(listening), nRounds);
    std::printf("tune to signal %.2f ms, listening %.2f ms (medians)\n", Median(tunes),
                Median(listening));
}
