#include "core/backends/Backends.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/clock/SystemClock.h"
#include "platform/db/DbDriver.h"
#include "platform/media/MediaServices.h"
#include "platform/scheduler/SchedulerServices.h"
#if KESTREL_HAVE_ODBC
#include "platform/db/OdbcDriver.h"
#endif
#include "platform/desktop/DBusDesktopNotifier.h"
#include "platform/desktop/LogindSleepInhibitor.h"
#include "platform/dialogs/LogMessageBoxes.h"
#include "platform/dialogs/QtMessageBoxes.h"
#if KESTREL_HAVE_HIDRAW
#include "platform/hid/HidrawServices.h"
#endif
#include "platform/audio/SimAudioCapture.h"
#include "platform/audio/SimAudioOutput.h"
#include "platform/hid/SimHidServices.h"
#include "platform/mixer/SimMixerServices.h"
#include "platform/mixer/ThreadFdWatcher.h"
#include "platform/sdr/IqFileServices.h"
#include "platform/sdr/SimSdrServices.h"
#include "platform/sdr/SoapySdrServices.h"
#include "platform/v4l2/LinuxV4l2Services.h"
#include "platform/v4l2/SimV4l2Services.h"
#include "receiver/AutoReceiverFactory.h"
#include "receiver/HidReceiverFactory.h"
#include "receiver/SdrReceiverFactory.h"
#include "receiver/V4l2ReceiverFactory.h"
#include "sim/receiver/ProgrammeSynth.h"
#include "sim/receiver/SimProgrammeFeed.h"
#include "sim/receiver/SimReceiver.h"
#include "sim/soundcard/SimSoundCard.h"
#if KESTREL_HAVE_UDEV
#include "platform/hid/UdevDeviceNotices.h"
#endif
#if KESTREL_HAVE_ATD
#include "platform/scheduler/AtScheduler.h"
#endif
#if KESTREL_HAVE_ALSA
#include "platform/audio/AlsaAudioCapture.h"
#include "platform/audio/AlsaAudioOutput.h"
#include "platform/mixer/AlsaMixerServices.h"
#endif
#if KESTREL_HAVE_GSTREAMER
#include "platform/media/GstMediaServices.h"
#include "platform/media/SimMediaServices.h"
#endif

namespace {

[[noreturn, maybe_unused]] void Missing(const char* pWhat, const char* pOption) {
    throw std::runtime_error(std::string("this build of Kestrel has no ") + pWhat +
                             " back-end; configure it with -D" + pOption + "=ON");
}

}  // namespace

namespace {

std::string SimulateSwitch() {
    const char* pValue = std::getenv("KESTREL_SIMULATE");
    return pValue ? pValue : "";
}

}  // namespace

CBackends::EKind CBackends::KindFromEnvironment() {
    const std::string strValue = SimulateSwitch();
    return strValue == "1" || strValue == kUnplugged ? EKind::Simulated : EKind::Linux;
}

namespace {

// Each kind of receiver and the udev subsystems its devices come and go on.
struct SReceiverKind {
    const char* pName;
    std::vector<std::string> subsystems;
};

const std::vector<SReceiverKind>& Kinds() {
    static const std::vector<SReceiverKind> kinds = {
        {"hid", {"hidraw"}},
        {"v4l2", {"video4linux", "sound"}},
        {"sdr", {"usb"}},
    };
    return kinds;
}

}  // namespace

std::vector<std::string> CBackends::ReceiverKinds() {
    std::vector<std::string> names;
    for (const SReceiverKind& kind : Kinds()) {
        names.emplace_back(kind.pName);
    }
    return names;
}

std::vector<std::string> CBackends::KindsOfRun(const std::string& strReceiverKind) {
    const std::vector<std::string> all = ReceiverKinds();
    if (strReceiverKind.empty()) {
        return all;
    }
    if (std::find(all.begin(), all.end(), strReceiverKind) == all.end()) {
        std::string strKnown;
        for (const std::string& strName : all) {
            strKnown += (strKnown.empty() ? "" : ", ") + strName;
        }
        throw std::runtime_error("the settings' SET/RECEIVER names the receiver kind \"" +
                                 strReceiverKind + "\", which Kestrel does not have (" + strKnown +
                                 ")");
    }
    return {strReceiverKind};
}

CBackends::CBackends(EKind eKind, EScreen eScreen, const std::string& strReceiverKind,
                     const std::optional<CIqFile::SOptions>& iqFile)
    : m_eKind(eKind) {
    std::vector<std::string> subsystems;
    const std::vector<std::string> kinds =
        iqFile ? std::vector<std::string>{"sdr"} : KindsOfRun(strReceiverKind);
    for (const std::string& strKind : kinds) {
        for (const SReceiverKind& kind : Kinds()) {
            if (strKind == kind.pName) {
                subsystems.insert(subsystems.end(), kind.subsystems.begin(), kind.subsystems.end());
            }
        }
    }
    if (iqFile) {
        auto pRecording = std::make_unique<CIqFileServices>(*iqFile);
        std::string strWhy;
        if (!pRecording->Check(strWhy)) {
            throw std::runtime_error("the IQ recording cannot be played: " + strWhy);
        }
        m_pSdr = std::move(pRecording);
    }
    if (eKind == EKind::Simulated) {
        CreateSimulated();
        // The demo's V4L2 radio is there when the V4L2 kind is asked for.
        if (kinds == std::vector<std::string>{"v4l2"}) {
            CreateSimulatedV4l2();
        }
        if (kinds == std::vector<std::string>{"sdr"} && !m_pSdr) {
            CreateSimulatedSdr();
        }
    } else {
        CreateLinux(subsystems);
    }
    CreateCommon(eScreen, kinds);
}

CBackends::~CBackends() = default;

SRadioServices CBackends::Services() {
    return {*m_pReceivers, *m_pDeviceNotices,  *m_pMixer,     *m_pMedia,
            *m_pDatabase,  *m_pMessageBoxes,   *m_pScheduler, *m_pClock,
            *m_pNotifier,  *m_pSleepInhibitor, false};
}

std::unique_ptr<CDbDriver> CBackends::CreateDatabase() {
#if KESTREL_HAVE_ODBC
    return std::make_unique<COdbcDriver>();
#else
    Missing("ODBC database", "KESTREL_WITH_ODBC");
#endif
}

void CBackends::CreateLinux([[maybe_unused]] const std::vector<std::string>& subsystems) {
#if KESTREL_HAVE_HIDRAW
    m_pHid = std::make_unique<CHidrawServices>();
#else
    Missing("hidraw receiver", "KESTREL_WITH_HIDRAW");
#endif
#if KESTREL_HAVE_UDEV
    m_pUdevNotices = std::make_unique<CUdevDeviceNotices>(subsystems);
    m_pDeviceNotices = m_pUdevNotices.get();
#else
    Missing("udev device notices", "KESTREL_WITH_UDEV");
#endif
    m_pWatcher = std::make_unique<CThreadFdWatcher>();
    m_pV4l2 = std::make_unique<CLinuxV4l2Services>();
    if (!m_pSdr) {
        m_pSdr = std::make_unique<CSoapySdrServices>();
    }
#if KESTREL_HAVE_ALSA
    m_pMixer = std::make_unique<CAlsaMixerServices>(*m_pWatcher);
    m_pAudioCapture = std::make_unique<CAlsaAudioCaptureServices>();
    m_pAudioOutput = std::make_unique<CAlsaAudioOutputServices>();
#else
    Missing("ALSA mixer", "KESTREL_WITH_ALSA");
#endif
#if KESTREL_HAVE_GSTREAMER
    m_pMedia = std::make_unique<CGstMediaServices>();
#else
    Missing("GStreamer media", "KESTREL_WITH_GSTREAMER");
#endif
}

void CBackends::CreateSimulated() {
#if KESTREL_HAVE_GSTREAMER
    m_pReceiver = std::make_shared<CSimReceiver>();
    auto pHid = std::make_unique<CSimHidServices>();
    m_nSimReceiverId = pHid->AddInterface(CSimReceiver::Interface(m_pReceiver));
    if (SimulateSwitch() == kUnplugged) {
        pHid->Unplug(m_nSimReceiverId);
    }
    m_pSimHid = pHid.get();
    m_pDeviceNotices = pHid.get();
    m_pHid = std::move(pHid);

    auto pMedia = std::make_unique<CSimMediaServices>();
    m_pProgramme = std::make_unique<CSimProgrammeFeed>(m_pReceiver.get());
    pMedia->SetCaptureFeed(m_pProgramme->Feed());
    pMedia->SetRealAudioOutput(true);
    // The mixer's card is the capture device, so that the input chosen in the
    // mixer is the one recorded.
    SSimSoundCardLayout layout;
    layout.strProductName = CSimMediaServices::DefaultCaptureDevice().strName;
    auto pMixer = std::make_unique<CSimMixerServices>();
    m_pSoundCard = std::make_unique<CSimSoundCard>(*pMixer, layout);
    m_pMixer = std::move(pMixer);
    m_pMedia = std::move(pMedia);
#else
    Missing("GStreamer media (the simulated sound card records through it)",
            "KESTREL_WITH_GSTREAMER");
#endif
}

namespace {

constexpr const char* kSimRadioCard = "Simulated radio sound card";

}  // namespace

// A radio like vivid's with the demo's stations and their RDS, and its own
// sound card playing what it is tuned to; heard through the real output.
void CBackends::CreateSimulatedV4l2() {
    auto pV4l2 = std::make_unique<CSimV4l2Services>();
    SSimV4l2Layout layout;
    layout.strName = "Kestrel demo radio (V4L2)";
    layout.strCaptureDevice = kSimRadioCard;
    layout.stations = CSimV4l2Services::DemoStations();
    const int nRadio = pV4l2->AddRadio(layout);
    if (SimulateSwitch() == kUnplugged) {
        pV4l2->Unplug(nRadio);
    }
    auto pCapture = std::make_unique<CSimAudioCaptureServices>();
    CSimV4l2Services* pControl = pV4l2.get();
    auto pSynth = std::make_shared<CProgrammeSynth>();
    pCapture->SetSource(
        kSimRadioCard, [pControl, pSynth, nRadio](int16_t* pFrames, size_t nFrames,
                                                  const CAudioFeed::SFormat& format) {
            int nStation = -1;
            const double dLevel = pControl->AudibleStrength(nRadio, nStation);
            SSimProgramme programme = CProgrammeSynth::NoReceiver();
            programme.bMuted = dLevel == 0 && nStation < 0 && !pControl->IsPlugged(nRadio);
            programme.bOnStation = nStation >= 0;
            programme.nStation = nStation;
            programme.dToneHz = 330.0 + 55.0 * nStation;
            programme.dLevel = nStation >= 0 ? dLevel : programme.dLevel;
            pSynth->Render(programme, pFrames, nFrames, format.nChannels, format.nSampleRate);
        });
    m_pSimV4l2 = pControl;
    m_pV4l2 = std::move(pV4l2);
    m_pAudioCapture = std::move(pCapture);
}

// The demo's dongle: the demo's FM stations with RDS, demodulated by
// Kestrel, heard through the real output. A lower rate than a dongle's
// keeps the synthesis light.
void CBackends::CreateSimulatedSdr() {
    auto pSdr = std::make_unique<CSimSdrServices>();
    SSimSdrLayout layout;
    layout.strName = "Kestrel demo dongle (SDR)";
    layout.stations = CSimSdrServices::DemoStations();
    const int nDongle = pSdr->AddDongle(layout);
    if (SimulateSwitch() == kUnplugged) {
        pSdr->Unplug(nDongle);
    }
    m_pSimSdr = pSdr.get();
    m_pSdr = std::move(pSdr);
}

CAudioOutputServices& CBackends::AudioOutput() {
    if (!m_pAudioOutput) {
#if KESTREL_HAVE_ALSA
        m_pAudioOutput = std::make_unique<CAlsaAudioOutputServices>();
#else
        m_pAudioOutput = std::make_unique<CSimAudioOutputServices>();
#endif
    }
    return *m_pAudioOutput;
}

std::unique_ptr<CReceiverFactory> CBackends::CreateFactory(const std::string& strKind) {
    if (strKind == "v4l2") {
        if (!m_pV4l2) {
            m_pV4l2 = std::make_unique<CSimV4l2Services>();  // no radio of the kind here
        }
        if (!m_pAudioCapture) {
            m_pAudioCapture = std::make_unique<CSimAudioCaptureServices>();
        }
        return std::make_unique<CV4l2ReceiverFactory>(
            SV4l2ReceiverServices{*m_pV4l2, *m_pAudioCapture, AudioOutput()});
    }
    if (strKind == "sdr") {
        constexpr double kDongleRate = 2'400'000;
        constexpr double kDemoRate = 960'000;
        if (!m_pSdr) {
            m_pSdr = std::make_unique<CSimSdrServices>();  // no dongle here
        }
        return std::make_unique<CSdrReceiverFactory>(SSdrReceiverServices{
            *m_pSdr, AudioOutput(), m_eKind == EKind::Simulated ? kDemoRate : kDongleRate});
    }
    return std::make_unique<CHidReceiverFactory>(*m_pHid);
}

// The demo simulates the hardware only: a newcomer sees the notifications
// and keeps the machine awake as a listener with a receiver would.
void CBackends::CreateCommon(EScreen eScreen, const std::vector<std::string>& kinds) {
    std::vector<CReceiverFactory*> factories;
    for (const std::string& strKind : kinds) {
        m_kindFactories.push_back(CreateFactory(strKind));
        factories.push_back(m_kindFactories.back().get());
    }
    if (factories.size() == 1) {
        m_pReceivers = std::move(m_kindFactories.back());
        m_kindFactories.clear();
    } else {
        m_pReceivers = std::make_unique<CAutoReceiverFactory>(factories);
    }
    m_pNotifier = std::make_unique<CDBusDesktopNotifier>();
    m_pSleepInhibitor = std::make_unique<CLogindSleepInhibitor>();
    m_pDatabase = CreateDatabase();
    if (eScreen == EScreen::None) {
        m_pMessageBoxes = std::make_unique<CLogMessageBoxes>();
    } else {
        m_pMessageBoxes = std::make_unique<CQtMessageBoxes>();
    }
    m_pClock = std::make_unique<CSystemClock>();
#if KESTREL_HAVE_ATD
    m_pScheduler = std::make_unique<CAtScheduler>();
#else
    Missing("at daemon scheduler", "KESTREL_WITH_ATD");
#endif
}
