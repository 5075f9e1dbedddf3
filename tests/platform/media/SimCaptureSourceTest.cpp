#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

#include "platform/media/SimMediaServices.h"
#include "sim/receiver/SimProgramme.h"
#include "sim/receiver/SimProgrammeFeed.h"
#include "tests/platform/media/MediaFileProbe.h"
#include "tests/support/TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 22050;

class CTunableProgramme : public CSimProgrammeSource {
public:
    SSimProgramme CurrentProgramme() const override {
        std::lock_guard lock(m_mutex);
        return m_programme;
    }
    void Tune(const SSimProgramme& programme) {
        std::lock_guard lock(m_mutex);
        m_programme = programme;
    }

private:
    mutable std::mutex m_mutex;
    SSimProgramme m_programme{};
};

struct SSpan {
    const int16_t* pSamples;
    size_t nFrames;
};

// Frames [from, to) seconds of a stereo recording.
SSpan Span(const std::vector<int16_t>& samples, double dFrom, double dTo) {
    const auto nFrom = static_cast<size_t>(dFrom * kRate);
    const auto nTo = std::min(static_cast<size_t>(dTo * kRate), samples.size() / 2);
    return {samples.data() + 2 * nFrom, nTo > nFrom ? nTo - nFrom : 0};
}

double Share(const SSpan& span, double dHz) {
    return ToneShare(span.pSamples, span.nFrames, 2, kRate, dHz);
}

double Rms(const SSpan& span) {
    double dSum = 0.0;
    for (size_t n = 0; n < span.nFrames * 2; ++n) {
        dSum += static_cast<double>(span.pSamples[n]) * span.pSamples[n];
    }
    return span.nFrames ? std::sqrt(dSum / static_cast<double>(span.nFrames * 2)) : 0.0;
}

}  // namespace

// What demo mode records: each station its own chord, hiss between stations,
// silence while muted, all in real time.
TEST(SimCaptureSource, RecordingFollowsTheReceiverInRealTime) {
    CTempDir dir;
    const std::string path = dir.File("demo.wav");
    CTunableProgramme receiver;
    receiver.Tune({false, true, 0, 440.0, 0.8});
    CSimProgrammeFeed programme(&receiver);
    CSimMediaServices media;
    media.SetCaptureFeed(programme.Feed());

    MediaDeviceList devices;
    ASSERT_TRUE(media.EnumerateCaptureDevices(devices));
    ASSERT_FALSE(devices.empty());
    std::unique_ptr<CCaptureGraph> pGraph = media.CreateCaptureGraph();
    ASSERT_TRUE(pGraph);
    ASSERT_EQ(pGraph->AddCaptureSource(*devices[0]), S_OK);
    ASSERT_EQ(pGraph->AddWavWriter(path), S_OK);
    ASSERT_EQ(pGraph->RenderCapture(), S_OK);
    ASSERT_EQ(pGraph->SetFormat(0, {kRate, 2, kRate * 4, 16, 4}), S_OK);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(MediaSucceeded(pGraph->Run()));
    std::this_thread::sleep_for(1s);
    receiver.Tune({false, true, 1, 700.0, 0.8});
    std::this_thread::sleep_for(1s);
    receiver.Tune({true, true, 1, 700.0, 0.8});
    std::this_thread::sleep_for(800ms);
    receiver.Tune({false, false, -1, 0.0, 0.0});
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(pGraph->StopWhenReady(), S_OK);
    const double dElapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const std::vector<int16_t> samples = ReadWavSamples(path);
    EXPECT_NEAR(static_cast<double>(samples.size() / 2) / kRate, dElapsed, 0.1);

    const SSpan first = Span(samples, 0.2, 0.8);
    EXPECT_GT(Share(first, 440.0), 0.5);
    EXPECT_LT(Share(first, 700.0), 0.05);
    const SSpan second = Span(samples, 1.2, 1.8);
    EXPECT_GT(Share(second, 700.0), 0.5);
    EXPECT_LT(Share(second, 440.0), 0.05);
    EXPECT_EQ(Rms(Span(samples, 2.2, 2.6)), 0.0);
    const SSpan hiss = Span(samples, 3.0, 3.4);
    EXPECT_GT(Rms(hiss), 1000.0);
    EXPECT_LT(Share(hiss, 440.0), 0.05);
    EXPECT_LT(Share(hiss, 700.0), 0.05);
}
