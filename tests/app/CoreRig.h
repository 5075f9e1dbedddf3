#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "core/RadioCore.h"
#include "platform/clock/SimClock.h"
#include "platform/clock/SystemClock.h"
#include "platform/db/SimDataSource.h"
#include "platform/desktop/SimDesktopNotifier.h"
#include "platform/desktop/SimSleepInhibitor.h"
#include "platform/dialogs/SimMessageBoxes.h"
#include "platform/hid/SimHidServices.h"
#include "platform/media/SimMediaServices.h"
#include "platform/mixer/SimMixerServices.h"
#include "platform/profile/Profile.h"
#include "platform/scheduler/SimScheduler.h"
#include "platform/window/SimMessageTarget.h"
#include "receiver/HidReceiver.h"
#include "receiver/ReceiverFactory.h"
#include "sim/receiver/SimProgrammeFeed.h"
#include "sim/receiver/SimReceiver.h"
#include "sim/soundcard/SimSoundCard.h"
#include "tests/support/TempDir.h"

// Makes the HID receiver on the rig's simulated HID back-end, and keeps the
// last one made within the test's reach.
class CRigReceivers : public CReceiverFactory {
public:
    explicit CRigReceivers(CHidServices& hid) : m_hid(hid) {}
    std::unique_ptr<CReceiver> Create(CProfile& profile, CClock& clock) override {
        auto pReceiver = std::make_unique<CHidReceiver>(m_hid, profile, clock);
        m_pMade = pReceiver.get();
        return pReceiver;
    }
    CHidReceiver* Made() const { return m_pMade; }

private:
    CHidServices& m_hid;
    CHidReceiver* m_pMade = nullptr;
};

// A radio core on the simulated receiver, sound card and message boxes, a
// SQLite data source reached through the real ODBC back-end, and a profile,
// record folder and current folder of its own. Local time is UTC, so that
// file names and catalogue times can be written out.
//
// The core is made on first use, so that a test lays out the hardware and
// the profile first.
class CCoreRig {
public:
    CCoreRig()
        : m_oldFolder(std::filesystem::current_path()),
          m_profile(m_dir.File("Kestrel.ini")),
          m_dataSource(m_dir.Path()),
          m_pReceiver(std::make_shared<CSimReceiver>()),
          m_programme(m_pReceiver.get()) {
        setenv("TZ", "UTC", 1);
        tzset();
        // The language file is looked up in the current folder.
        std::filesystem::current_path(m_dir.Path());
        m_nReceiver = m_hid.AddInterface(CSimReceiver::Interface(m_pReceiver));
        m_media.SetRealAudioOutput(false);
        m_media.SetCaptureFeed(m_programme.Feed());
        m_profile.WriteProfileString("SET", "PATH", RecordFolder());
    }
    ~CCoreRig() {
        m_pCore.reset();
        std::filesystem::current_path(m_oldFolder);
    }

    CCoreRig(const CCoreRig&) = delete;
    CCoreRig& operator=(const CCoreRig&) = delete;

    // The sound card of the capture device; the default layout unless a test
    // laid out its own first.
    CSimSoundCard& Card(const SSimSoundCardLayout& layout = DefaultLayout()) {
        if (!m_pCard) {
            m_pCard = std::make_unique<CSimSoundCard>(m_mixer, layout);
        }
        return *m_pCard;
    }
    static SSimSoundCardLayout DefaultLayout() {
        SSimSoundCardLayout layout;
        layout.strProductName = CSimMediaServices::DefaultCaptureDevice().strName;
        return layout;
    }

    SRadioServices Services() {
        return {*m_pReceivers, m_hid,       m_mixer,   m_media,    m_dataSource.Driver(),
                m_boxes,       m_scheduler, *m_pClock, m_notifier, m_inhibitor,
                m_bVista};
    }

    CRadioCore& Core() {
        if (!m_pCore) {
            Card();
            m_pCore = std::make_unique<CRadioCore>(Services(), m_profile);
            m_pCore->Init(&m_window);
        }
        return *m_pCore;
    }

    std::string RecordFolder() const { return m_dir.File("RadioRecord"); }
    // The cores made from now on get their receiver from this factory.
    void UseReceivers(CReceiverFactory& receivers) { m_pReceivers = &receivers; }
    // The HID receiver of the core made last: its tuner and device link, for
    // the tests that look into them.
    CHidReceiver& Hid() {
        if (!m_receivers.Made()) {
            Core();
        }
        return *m_receivers.Made();
    }
    CTuner& Tuner() { return Hid().Tuner(); }
    void UseRealClock() { m_pClock = &m_realClock; }

    CTempDir m_dir;
    std::filesystem::path m_oldFolder;
    CProfile m_profile;
    CSimDataSource m_dataSource;
    std::shared_ptr<CSimReceiver> m_pReceiver;
    CSimProgrammeFeed m_programme;
    CSimHidServices m_hid;
    CRigReceivers m_receivers{m_hid};
    CReceiverFactory* m_pReceivers = &m_receivers;
    int m_nReceiver = 0;
    CSimMixerServices m_mixer;
    std::unique_ptr<CSimSoundCard> m_pCard;
    CSimMediaServices m_media;
    CSimMessageBoxes m_boxes;
    CSimScheduler m_scheduler;
    CSimDesktopNotifier m_notifier;
    CSimSleepInhibitor m_inhibitor;
    CSimClock m_clock;
    CSystemClock m_realClock;
    CClock* m_pClock = &m_clock;
    bool m_bVista = false;
    CSimMessageTarget m_window;
    std::unique_ptr<CRadioCore> m_pCore;
};
