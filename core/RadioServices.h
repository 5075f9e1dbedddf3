#pragma once

class CClock;
class CDbDriver;
class CDesktopNotifier;
class CDeviceNotices;
class CMediaServices;
class CMessageBoxes;
class CMixerServices;
class CReceiverFactory;
class CSchedulerServices;
class CSleepInhibitor;

// The platform services the radio core and its windows work through. One set
// is chosen at start-up (CBackends) and outlives the core; the core never
// learns which back-ends it was given.
struct SRadioServices {
    CReceiverFactory& receivers;
    CDeviceNotices& deviceNotices;  // for the main window
    CMixerServices& mixer;
    CMediaServices& media;
    CDbDriver& database;
    CMessageBoxes& messageBoxes;
    CSchedulerServices& scheduler;
    CClock& clock;
    CDesktopNotifier& notifier;
    CSleepInhibitor& sleepInhibitor;
    // The Windows Vista branches (capture device 0, the receiver's own mute):
    // never taken on Linux, but kept, so that tests can force them.
    bool bVista = false;
};
