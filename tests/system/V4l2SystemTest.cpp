#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/RadioCore.h"
#include "platform/audio/AlsaAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/posix/UniqueFd.h"
#include "platform/v4l2/LinuxV4l2Radio.h"
#include "platform/v4l2/LinuxV4l2Services.h"
#include "platform/window/SimMessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "receiver/BandScan.h"
#include "receiver/V4l2Receiver.h"
#include "receiver/V4l2ReceiverFactory.h"
#include "tests/system/AudioDecode.h"
#include "tests/system/GuestChild.h"
#include "tests/system/GuestRig.h"
#include "tests/system/SystemWait.h"

// The V4L2 back-end on the kernel's own virtual radio, vivid, loaded by the
// guest with a receiver at /dev/radio20 and a transmitter at /dev/radio21:
// FM 64-108 MHz and AM 520-1710 kHz, a station every 1 MHz (FM) and 100 kHz
// (AM), its RDS name the tuned frequency in kHz. vivid has no audio:
// snd-aloop stands in for the radio's own sound card.
namespace {

using namespace std::chrono_literals;

constexpr const char* kReceiverNode = "/dev/radio20";
constexpr const char* kTransmitterNode = "/dev/radio21";
// vivid's own controls (drivers/media/test-drivers/vivid/vivid-ctrls.c).
constexpr uint32_t kVividDisconnect = 0x00f0f000 + 65;
constexpr uint32_t kVividSeekMode = 0x00f0f000 + 90;
constexpr int kSeekBounded = 0;
constexpr double kToneHz = 1234.0;
constexpr int kRate = 44100;

bool SetControl(const char* pNode, uint32_t nId, int nValue) {
    CUniqueFd fd(::open(pNode, O_RDWR | O_CLOEXEC));
    v4l2_control control{};
    control.id = nId;
    control.value = nValue;
    return fd.IsValid() && ::ioctl(fd.Get(), VIDIOC_S_CTRL, &control) == 0;
}

bool SetVividControl(uint32_t nId, int nValue) {
    return SetControl(kReceiverNode, nId, nValue);
}

bool SetStringControl(const char* pNode, uint32_t nId, const std::string& strValue) {
    CUniqueFd fd(::open(pNode, O_RDWR | O_CLOEXEC));
    std::string strCopy = strValue;
    v4l2_ext_control control{};
    control.id = nId;
    control.size = static_cast<__u32>(strCopy.size() + 1);
    control.string = strCopy.data();
    v4l2_ext_controls controls{};
    controls.which = V4L2_CTRL_WHICH_CUR_VAL;
    controls.count = 1;
    controls.controls = &control;
    return fd.IsValid() && ::ioctl(fd.Get(), VIDIOC_S_EXT_CTRLS, &controls) == 0;
}

// The kernel's radios as they are, but vivid's with snd-aloop as its sound card.
class CLoopbackPairedServices : public CV4l2Services {
public:
    std::vector<SV4l2Device> Enumerate() override {
        std::vector<SV4l2Device> devices = m_linux.Enumerate();
        for (SV4l2Device& device : devices) {
            device.strCaptureDevice = "plughw:CARD=Loopback,DEV=1,SUBDEV=0";
        }
        return devices;
    }
    std::unique_ptr<CV4l2Radio> Open(const SV4l2Device& device, std::string& strWhy) override {
        return m_linux.Open(device, strWhy);
    }

private:
    CLinuxV4l2Services m_linux;
};

class V4l2SystemTest : public testing::Test {
protected:
    // Europe's plan (87.5-108 MHz, 9 kHz AM), unless a test says otherwise.
    V4l2SystemTest() { m_rig.m_profile.WriteProfileInt("SET", "BAND", 0); }
    std::unique_ptr<CV4l2Radio> OpenRadio() {
        std::string strWhy;
        std::unique_ptr<CV4l2Radio> pRadio = CLinuxV4l2Radio::Open(kReceiverNode, strWhy);
        EXPECT_NE(pRadio, nullptr) << strWhy;
        return pRadio;
    }
    CV4l2Receiver& Receiver() {
        if (!m_pReceiver) {
            m_pReceiver = std::make_unique<CV4l2Receiver>(
                SV4l2ReceiverServices{m_services, m_capture, m_output}, m_rig.m_profile,
                m_rig.m_clock);
            m_pReceiver->SetBand(CReceiver::BAND_FM);
            m_pReceiver->LoadBandPlan();
            EXPECT_TRUE(m_pReceiver->Open(&m_window));
        }
        return *m_pReceiver;
    }
    void UsePlan(int nStandard) {
        m_rig.m_profile.WriteProfileInt("SET", "BAND", nStandard);
        Receiver().LoadBandPlan();
    }
    uint32_t TunedHz() {
        uint32_t nHz = 0;
        EXPECT_EQ(m_pProbe->Frequency(nHz), EV4l2Status::Ok);
        return nHz;
    }
    void TearDown() override {
        if (m_pReceiver) {
            m_pReceiver->JoinSeek();
            m_pReceiver->Close();
        }
    }

    CGuestRig m_rig;
    CSimMessageTarget m_window;
    CLinuxV4l2Services m_linux;
    CLoopbackPairedServices m_services;
    CAlsaAudioCaptureServices m_capture;
    CSimAudioOutputServices m_output;
    std::unique_ptr<CV4l2Receiver> m_pReceiver;
    std::unique_ptr<CV4l2Radio> m_pProbe = OpenRadio();
};

TEST_F(V4l2SystemTest, FindsVividsReceiverAndLeavesItsTransmitterOut) {
    const std::vector<SV4l2Device> devices = m_linux.Enumerate();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].strNode, kReceiverNode);
    EXPECT_EQ(devices[0].strCaptureDevice, "");  // no USB sound card of its own
    EXPECT_FALSE(devices[0].strId.empty());
    std::string strWhy;
    EXPECT_EQ(CLinuxV4l2Radio::Open(kTransmitterNode, strWhy), nullptr);
    EXPECT_NE(strWhy.find("transmitter"), std::string::npos) << strWhy;

    ASSERT_NE(m_pProbe, nullptr);
    EXPECT_EQ(m_pProbe->Caps().strDriver, "vivid");
    EXPECT_TRUE(m_pProbe->Caps().bRds);
    EXPECT_TRUE(m_pProbe->Caps().bHardwareSeek);
    bool bFm = false;
    bool bAm = false;
    for (const SV4l2Band& band : m_pProbe->Bands()) {
        bFm |= band.eModulation == SV4l2Band::EModulation::Fm && band.nLowHz == 64'000'000 &&
               band.nHighHz == 108'000'000;
        bAm |= band.eModulation == SV4l2Band::EModulation::Am && band.nLowHz == 520'000 &&
               band.nHighHz == 1'710'000;
    }
    EXPECT_TRUE(bFm);
    EXPECT_TRUE(bAm);
}

TEST_F(V4l2SystemTest, TunesEveryEdgeOfItsBandsUnderEveryPlan) {
    ASSERT_NE(m_pProbe, nullptr);
    for (const SV4l2Band& band : m_pProbe->Bands()) {
        uint32_t nTuned = 0;
        ASSERT_EQ(m_pProbe->SetFrequency(band.nLowHz, nTuned), EV4l2Status::Ok);
        EXPECT_EQ(nTuned, band.nLowHz);
        ASSERT_EQ(m_pProbe->SetFrequency(band.nHighHz, nTuned), EV4l2Status::Ok);
        EXPECT_EQ(nTuned, band.nHighHz);
    }
    struct SEdge {
        int nStandard;
        int nBand;
        unsigned nFrequency;
        uint32_t nHz;
    };
    const SEdge edges[] = {
        {0, CReceiver::BAND_FM, 8750, 87'500'000}, {0, CReceiver::BAND_FM, 10800, 108'000'000},
        {1, CReceiver::BAND_FM, 7600, 76'000'000}, {1, CReceiver::BAND_FM, 9000, 90'000'000},
        {0, CReceiver::BAND_AM, 522, 522'000},     {0, CReceiver::BAND_AM, 1629, 1'629'000},
        {2, CReceiver::BAND_AM, 520, 520'000},     {2, CReceiver::BAND_AM, 1710, 1'710'000},
    };
    for (const SEdge& edge : edges) {
        UsePlan(edge.nStandard);
        Receiver().SetBand(edge.nBand);
        EXPECT_TRUE(Receiver().Tune(edge.nFrequency));
        EXPECT_EQ(Receiver().Frequency(edge.nBand), edge.nFrequency);
        EXPECT_EQ(TunedHz(), edge.nHz);
    }
}

TEST_F(V4l2SystemTest, ReadsSignalAndStereoNearItsStations) {
    ASSERT_NE(m_pProbe, nullptr);
    const auto signalAt = [&](uint32_t nHz) {
        uint32_t nTuned = 0;
        EXPECT_EQ(m_pProbe->SetFrequency(nHz, nTuned), EV4l2Status::Ok);
        SV4l2Signal signal;
        EXPECT_EQ(m_pProbe->Signal(signal), EV4l2Status::Ok);
        return signal;
    };
    const SV4l2Signal on = signalAt(95'000'000);
    EXPECT_GT(on.nStrength, 0xF000u);
    EXPECT_TRUE(on.bStereo);
    EXPECT_TRUE(on.bRds);
    const SV4l2Signal near = signalAt(95'040'000);
    EXPECT_GT(near.nStrength, 0u);
    EXPECT_LT(near.nStrength, on.nStrength);
    EXPECT_FALSE(near.bStereo);
    EXPECT_EQ(signalAt(95'100'000).nStrength, 0u);
    const SV4l2Signal am = signalAt(1'000'000);
    EXPECT_GT(am.nStrength, 0xF000u);
    EXPECT_FALSE(am.bStereo);

    // The receiver's meters read the same.
    Receiver().Tune(9500);
    EXPECT_GT(Receiver().Reading().nSignal, 90);
    EXPECT_TRUE(Receiver().Reading().bStereo);
    Receiver().Tune(9510);
    EXPECT_EQ(Receiver().Reading().nSignal, 0);
}

TEST_F(V4l2SystemTest, SeeksOntoTheNextStationAndTellsTheHardwareSeeksResult) {
    ASSERT_NE(m_pProbe, nullptr);
    const SV4l2Band fm{SV4l2Band::EModulation::Fm, 64'000'000, 108'000'000};
    uint32_t nTuned = 0;
    ASSERT_EQ(m_pProbe->SetFrequency(94'500'000, nTuned), EV4l2Status::Ok);
    const EV4l2Status eSeek = m_pProbe->HardwareSeek(true, fm);
    EXPECT_EQ(eSeek, EV4l2Status::Ok);
    // Linux 6.1's vivid stays where it was; a later one moves to 95.0.
    const uint32_t nAfter = TunedHz();
    EXPECT_TRUE(nAfter == 94'500'000u || nAfter == 95'000'000u) << nAfter;

    // Bounded, from the top of the band: nothing above.
    ASSERT_TRUE(SetVividControl(kVividSeekMode, kSeekBounded));
    std::unique_ptr<CV4l2Radio> pBounded = OpenRadio();
    ASSERT_EQ(pBounded->SetFrequency(108'000'000, nTuned), EV4l2Status::Ok);
    EXPECT_EQ(pBounded->HardwareSeek(true, fm), EV4l2Status::NoStation) << pBounded->LastError();

    // The receiver lands on the station ahead either way, and says so once.
    UsePlan(0);
    Receiver().Tune(9450);
    ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
    ASSERT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 60s));
    EXPECT_EQ(Receiver().Frequency(CReceiver::BAND_FM), 9500u);
    EXPECT_EQ(TunedHz(), 95'000'000u);
    EXPECT_EQ(m_window.Count(WM_SEEK_FOUND, true), 1);
}

// A scan of Europe's FM band on vivid finds its stations, one a megahertz,
// and its transmitter's loop on 95.5 MHz, nothing on the channels between.
// The names are those that came within the scan's wait: vivid's own name a
// station by its frequency in kHz.
TEST_F(V4l2SystemTest, AScanFindsEveryStationOfTheBandWithItsName) {
    ASSERT_NE(m_pProbe, nullptr);
    Receiver().Tune(9450);
    CBandScan scan(Receiver(), std::chrono::milliseconds(1500));
    ASSERT_TRUE(scan.Start({}, {}));
    ASSERT_TRUE(scan.Wait());
    std::vector<unsigned> found;
    int nNamed = 0;
    for (const SScanStation& station : scan.Stations()) {
        found.push_back(station.nFrequency);
        if (!station.strName.empty() && station.nFrequency != 9550) {
            ++nNamed;
            EXPECT_EQ(station.strName, std::to_string(station.nFrequency * 10) + ".0");
        }
    }
    std::vector<unsigned> expected;
    for (unsigned nFrequency = 8800; nFrequency <= 10800; nFrequency += 100) {
        expected.push_back(nFrequency);
        if (nFrequency == 9500) {
            expected.push_back(9550);
        }
    }
    EXPECT_EQ(found, expected);
    EXPECT_GT(nNamed, 0);
    EXPECT_EQ(m_window.Count(WM_SEEK_FOUND, true), 0);
}

// vivid's own RDS names the station by its frequency. Its radio texts
// alternate read by read in Linux 6.1, so the text is looked at on the
// transmitter's loop: vivid's transmitter sends the name and text it is
// given, coded by the kernel's RDS generator, and the receiver tuned to it
// hears them. The text is sent in both of vivid's alternates.
TEST_F(V4l2SystemTest, ShowsVividsRdsNameAndTheTransmittersNameAndRadioText) {
    Receiver().Tune(9600);
    ASSERT_TRUE(WaitUntil([&] { return Receiver().Reading().strStation == "96000.0"; }, 60s))
        << "station: \"" << Receiver().Reading().strStation << "\", "
        << Receiver().Reading().strProblem;
    EXPECT_GT(m_window.Count(WM_DEVICE_REPORT, false), 0);

    const std::string strText = "Night flight: ambient until dawn";
    std::string strAlternates = strText + std::string(64 - strText.size(), ' ');
    strAlternates += strAlternates;
    ASSERT_TRUE(SetControl(kTransmitterNode, V4L2_CID_RDS_TX_PI, 0xC0DE));
    ASSERT_TRUE(SetStringControl(kTransmitterNode, V4L2_CID_RDS_TX_PS_NAME, "KESTREL "));
    ASSERT_TRUE(SetStringControl(kTransmitterNode, V4L2_CID_RDS_TX_RADIO_TEXT, strAlternates));
    Receiver().Tune(9550);  // vivid's transmitter sends on 95.5 MHz
    ASSERT_TRUE(WaitUntil([&] { return Receiver().Reading().strStation == "KESTREL"; }, 60s))
        << "station: \"" << Receiver().Reading().strStation << "\"";
    ASSERT_TRUE(WaitUntil([&] { return Receiver().Reading().strRadioText == strText; }, 60s))
        << "radio text: \"" << Receiver().Reading().strRadioText << "\"";
}

// A tone played into one side of snd-aloop is what the radio's own card
// hears: recorded from the pushed feed, as WAV and as WMA.
TEST_F(V4l2SystemTest, RecordsTheRadiosOwnSoundCardThroughThePushedFeed) {
    const std::string strTone = m_rig.m_dir.File("tone.wav");
    ASSERT_TRUE(WriteToneWav(strTone, kToneHz, 60.0, kRate));
    CGuestChild player;
    ASSERT_TRUE(player.Start({"aplay", "-q", "-D", "plughw:Loopback,0,0", strTone}));
    std::this_thread::sleep_for(500ms);

    CV4l2ReceiverFactory factory({m_services, m_capture, m_output});
    const SRadioServices rig = m_rig.Services();
    CRadioCore core(
        {factory, rig.deviceNotices, rig.mixer, rig.media, rig.database, rig.messageBoxes,
         rig.scheduler, rig.clock, rig.notifier, rig.sleepInhibitor, false},
        m_rig.m_profile);
    core.Init(&m_window);
    core.OpenRadio();
    ASSERT_EQ(core.DevicePresent(), 1);
    ASSERT_TRUE(core.BringsOwnAudio());
    core.TuneTo(9500);
    for (const bool bWav : {true, false}) {
        m_rig.m_profile.WriteProfileInt("SET", "RECOTYPE", bWav ? 1 : 0);
        m_rig.m_profile.WriteProfileInt("SET", "QUALITY", 2);
        ASSERT_TRUE(core.StartRecording());
        std::this_thread::sleep_for(3s);
        core.StopRecording();
        std::vector<int16_t> samples = DecodeToMono(core.RecordFile(), kRate);
        ASSERT_GT(samples.size(), static_cast<size_t>(kRate)) << core.RecordFile();
        samples.erase(samples.begin(), samples.begin() + kRate / 2);
        EXPECT_NEAR(ToneFrequency(samples, kRate), kToneHz, kToneHz * 0.01)
            << (bWav ? "WAV" : "WMA");
        std::this_thread::sleep_for(1s);  // a new second, a new file name
    }
    player.Kill();
    EXPECT_TRUE(m_rig.m_boxes.Shown().empty());
}

// Last: vivid's disconnect emulates the USB unplug, for good.
TEST_F(V4l2SystemTest, ZDisconnectIsAnUnplugThatTheProgramSurvives) {
    Receiver().Tune(9500);
    ASSERT_TRUE(SetVividControl(kVividDisconnect, 1));
    EXPECT_TRUE(WaitUntil([&] { return m_window.Count(WM_DEVICECHANGE, false) > 0; }, 10s));
    EXPECT_EQ(Receiver().CountDevices(), 0);
    EXPECT_FALSE(Receiver().Tune(9600));
    EXPECT_NE(Receiver().Reading().strProblem.find("unplugged"), std::string::npos)
        << Receiver().Reading().strProblem;
    ASSERT_TRUE(Receiver().StartSeek(CReceiver::SEEK_UP));
    EXPECT_TRUE(WaitUntil([&] { return !Receiver().IsSeeking(); }, 10s));
    Receiver().Close();
}

}  // namespace
