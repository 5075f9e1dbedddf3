#include <QImage>

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "skin/SkinEngine.h"
#include "skin/SkinMeter.h"
#include "tests/tuner/TunerRig.h"

namespace {

// From the simulated station to the panel: the seek worker takes the channel
// flag from the receiver's status, the main window turns the flag into the
// channel indicator's value (50 when set, 100 when clear), and the skin's
// "Speack" lamps show it.
class StereoIndicatorTest : public testing::Test {
protected:
    void SetUp() override {
        m_clock.SetSettleHook([this] { m_rig.Settle(); });
        m_rig.UsePlan(1);
        m_rig.m_tuner.SetBand(CTuner::BAND_FM);

        ASSERT_TRUE(m_engine.Initialise("KestrelFM"));
        ASSERT_TRUE(m_engine.LoadSkin("SKIN", "KESTRELSKIN")) << m_engine.LastError();
        m_meter.resize(40, 40);
        m_meter.SetSkinName("Speack");
        m_meter.SetVertical(0);
    }

    // The channel flag after a seek up from one channel below the station.
    int SeekOnto(unsigned station) {
        m_rig.m_tuner.StopSeek(station - 10);
        m_rig.Settle();
        EXPECT_TRUE(m_rig.m_tuner.StartSeek(CTuner::SEEK_UP));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (m_rig.m_tuner.HasSeekThread() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        m_rig.m_tuner.JoinSeek();
        EXPECT_EQ(m_rig.m_tuner.CurrentFrequency(), station);
        return m_rig.m_tuner.ChannelFlag();
    }

    QImage Render(int nValue) {
        m_meter.SetValue(nValue);
        QImage image(m_meter.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        m_meter.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    // Which of the two lamps (left half, right half) the indicator lights:
    // where bright cyan shows inside the indicator's frame.
    std::pair<bool, bool> LampsFor(int nChannelFlag) {
        const QImage image = Render(nChannelFlag ? 50 : 100);
        auto lit = [&image](int nFrom, int nTo) {
            const int nRim = 3;
            for (int x = std::max(nFrom, nRim); x < std::min(nTo, image.width() - nRim); ++x) {
                for (int y = nRim; y < image.height() - nRim; ++y) {
                    const QRgb pixel = image.pixel(x, y);
                    if (qGreen(pixel) > 160 && qRed(pixel) < 160) {
                        return true;
                    }
                }
            }
            return false;
        };
        const int nHalf = image.width() / 2;
        return {lit(0, nHalf), lit(nHalf, image.width())};
    }

    CSimClock m_clock;
    CTunerRig m_rig{m_clock};
    CSkinEngine m_engine;
    CSkinMeter m_meter{m_engine};
};

TEST_F(StereoIndicatorTest, AStereoStationLightsBothLampsAMonoStationOne) {
    m_rig.m_pReceiver->SetStations(
        {{CTuner::BAND_FM, 8000, 1.0, true}, {CTuner::BAND_FM, 8250, 1.0, false}});
    EXPECT_EQ(LampsFor(SeekOnto(8000)), std::make_pair(true, true)) << "stereo";
    EXPECT_EQ(LampsFor(SeekOnto(8250)), std::make_pair(true, false)) << "mono";
    EXPECT_EQ(LampsFor(SeekOnto(8000)), std::make_pair(true, true)) << "stereo again";
}

}  // namespace
