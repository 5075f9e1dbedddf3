#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/RadioDlg.h"
#include "core/RadioCore.h"
#include "platform/clock/SystemClock.h"
#include "platform/db/SimDataSource.h"
#include "platform/desktop/SimDesktopNotifier.h"
#include "platform/desktop/SimSleepInhibitor.h"
#include "platform/dialogs/SimMessageBoxes.h"
#include "platform/hid/HidrawServices.h"
#include "platform/hid/UdevDeviceNotices.h"
#include "platform/media/GstMediaServices.h"
#include "platform/mixer/AlsaMixerServices.h"
#include "platform/mixer/ThreadFdWatcher.h"
#include "platform/profile/Profile.h"
#include "platform/scheduler/SimScheduler.h"
#include "receiver/HidReceiverFactory.h"
#include "skin/SkinEngine.h"
#include "tests/support/TempDir.h"

// The program's Linux back-ends as a user's desktop runs them: hidraw, the
// udev monitor, the ALSA mixer and GStreamer, with a SQLite data source
// through the real ODBC back-end. Message boxes, the scheduler, the desktop
// notices and the sleep inhibitor are the simulated ones: the guest has no
// one to click a box, no at daemon and no session bus. The rig keeps a
// profile, record folder and current folder of its own; local time is UTC.
class CGuestRig {
public:
    CGuestRig();
    ~CGuestRig();

    CGuestRig(const CGuestRig&) = delete;
    CGuestRig& operator=(const CGuestRig&) = delete;

    SRadioServices Services();
    // The main window, offscreen, opened on first use.
    CRadioDlg& Window();
    void CloseWindow();
    std::string RecordFolder() const { return m_dir.File("RadioRecord"); }

    CTempDir m_dir;
    std::filesystem::path m_oldFolder;
    CProfile m_profile;
    CSimDataSource m_dataSource;
    CHidrawServices m_hid;
    CHidReceiverFactory m_receivers{m_hid};
    CUdevDeviceNotices m_notices;
    CThreadFdWatcher m_watcher;
    CAlsaMixerServices m_mixer{m_watcher};
    CGstMediaServices m_media;
    CSimMessageBoxes m_boxes;
    CSimScheduler m_scheduler;
    CSystemClock m_clock;
    CSimDesktopNotifier m_notifier;
    CSimSleepInhibitor m_inhibitor;
    CSkinEngine m_skin;
    std::unique_ptr<CRadioDlg> m_pWindow;
};
