#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/RadioServices.h"
#include "platform/sdr/IqFile.h"

class CDeviceNotices;
class CFdWatcher;
class CHidServices;
class CSimHidControl;
class CReceiverFactory;
class CSimProgrammeFeed;
class CV4l2Services;
class CSimV4l2Control;
class CSdrServices;
class CSimSdrServices;
class CAudioCaptureServices;
class CAudioOutputServices;
class CSimReceiver;
class CSimSoundCard;

// The back-ends of one run, chosen once at start-up: the Linux ones, or in
// demo mode the simulated receiver (plugged in) and a simulated sound card
// whose capture input plays it. The database, the message boxes, the
// scheduler, the desktop notifications and the sleep inhibitor are real in
// both. Outlives everything made from Services().
class CBackends {
public:
    enum class EKind { Linux, Simulated };
    // A run with a window shows its message boxes; one with no screen logs them.
    enum class EScreen { Window, None };

    // Simulated when KESTREL_SIMULATE is "1", or "unplugged" for the simulated
    // hardware with the receiver not plugged in yet.
    static EKind KindFromEnvironment();
    static constexpr const char* kUnplugged = "unplugged";
    // strReceiverKind pins the kind of receiver (SET/RECEIVER); empty takes
    // the one plugged in. Throws std::runtime_error naming a back-end this
    // build lacks or a kind of receiver Kestrel does not have.
    // An IQ recording, when given, is the receiver (the SDR kind, whatever
    // the settings pin); one that does not open throws with its cause.
    explicit CBackends(EKind eKind, EScreen eScreen = EScreen::Window,
                       const std::string& strReceiverKind = {},
                       const std::optional<CIqFile::SOptions>& iqFile = std::nullopt);
    // The kinds of receiver Kestrel has, in the order it looks for them.
    static std::vector<std::string> ReceiverKinds();
    ~CBackends();

    CBackends(const CBackends&) = delete;
    CBackends& operator=(const CBackends&) = delete;

    EKind Kind() const { return m_eKind; }
    SRadioServices Services();
    // The database driver of the tables; throws as the constructor does.
    static std::unique_ptr<CDbDriver> CreateDatabase();
    // Demo mode's hardware, for the demo's own controls; null otherwise.
    CSimReceiver* SimReceiver() const { return m_pReceiver.get(); }
    CSimHidControl* SimHid() const { return m_pSimHid; }
    int SimReceiverId() const { return m_nSimReceiverId; }
    CSimSoundCard* SimSoundCard() const { return m_pSoundCard.get(); }
    // Demo mode's V4L2 radio (with SET/RECEIVER v4l2); null otherwise.
    CSimV4l2Control* SimV4l2() const { return m_pSimV4l2; }
    // Demo mode's SDR dongle (with SET/RECEIVER sdr); null otherwise.
    CSimSdrServices* SimSdr() const { return m_pSimSdr; }

private:
    void CreateLinux(const std::vector<std::string>& subsystems);
    void CreateSimulated();
    void CreateCommon(EScreen eScreen, const std::vector<std::string>& kinds);
    void CreateSimulatedV4l2();
    void CreateSimulatedSdr();
    CAudioOutputServices& AudioOutput();
    // The factory of a kind of receiver, made on the back-ends of the run.
    std::unique_ptr<CReceiverFactory> CreateFactory(const std::string& strKind);
    // The kinds this run uses: the pinned one, or all of them.
    static std::vector<std::string> KindsOfRun(const std::string& strReceiverKind);

    EKind m_eKind;
    // Declared before the media services, whose capture sources play it.
    std::shared_ptr<CSimReceiver> m_pReceiver;
    std::unique_ptr<CHidServices> m_pHid;
    std::unique_ptr<CV4l2Services> m_pV4l2;
    CSimV4l2Control* m_pSimV4l2 = nullptr;
    std::unique_ptr<CSdrServices> m_pSdr;
    CSimSdrServices* m_pSimSdr = nullptr;
    std::unique_ptr<CAudioCaptureServices> m_pAudioCapture;
    std::unique_ptr<CAudioOutputServices> m_pAudioOutput;
    // One factory per kind of the run, and the run's: the pinned kind's, or
    // the one that follows whichever is plugged in.
    std::vector<std::unique_ptr<CReceiverFactory>> m_kindFactories;
    std::unique_ptr<CReceiverFactory> m_pReceivers;
    // The simulated receiver's audio as the simulated card's input hears it.
    std::unique_ptr<CSimProgrammeFeed> m_pProgramme;
    std::unique_ptr<CDeviceNotices> m_pUdevNotices;
    CDeviceNotices* m_pDeviceNotices = nullptr;  // udev's, or the simulated HID's
    CSimHidControl* m_pSimHid = nullptr;
    int m_nSimReceiverId = -1;
    // Outlives the mixer's handles, which watch their change notices with it.
    std::unique_ptr<CFdWatcher> m_pWatcher;
    std::unique_ptr<CMixerServices> m_pMixer;
    std::unique_ptr<CSimSoundCard> m_pSoundCard;
    std::unique_ptr<CMediaServices> m_pMedia;
    std::unique_ptr<CDbDriver> m_pDatabase;
    std::unique_ptr<CMessageBoxes> m_pMessageBoxes;
    std::unique_ptr<CSchedulerServices> m_pScheduler;
    std::unique_ptr<CClock> m_pClock;
    std::unique_ptr<CDesktopNotifier> m_pNotifier;
    std::unique_ptr<CSleepInhibitor> m_pSleepInhibitor;
};
