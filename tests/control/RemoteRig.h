#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/RadioDlg.h"
#include "app/WindowControl.h"
#include "control/ControlBus.h"
#include "presets/PresetStore.h"
#include "skin/SkinEngine.h"
#include "tests/app/CoreRig.h"
#include "tests/control/BusRig.h"

// The running copy of a test: the main window on the simulated receiver and
// sound card, its remote control on a private bus, and a client there. FM
// presets fill slots 2 (80.00 "Alpha"), 5 (82.50 "Bravo") and 7 (85.20, no
// title); slot 9 holds a title but no station. The radio starts on slot 2.
class CRemoteRig {
public:
    CRemoteRig() {
        m_skin.Initialise("KestrelFM");
        m_skin.LoadSkin("SKIN", "KESTRELSKIN");
    }
    ~CRemoteRig() {
        m_pRemote.reset();
        m_pControl.reset();
        m_pWindow.reset();
    }

    CRemoteRig(const CRemoteRig&) = delete;
    CRemoteRig& operator=(const CRemoteRig&) = delete;

    // False (with the reason in strWhy) when the bus or the services fail.
    bool Open(std::string& strWhy) {
        if (!m_bus.IsRunning()) {
            strWhy = m_bus.Error();
            return false;
        }
        Preset(2, 8000, "Alpha");
        Preset(5, 8250, "Bravo");
        Preset(7, 8520, "");
        Preset(9, 0, "Empty slot");
        m_rig.Card();
        m_pWindow = std::make_unique<CRadioDlg>(m_rig.Services(), m_rig.m_profile, &m_skin);
        m_pWindow->Create();
        m_pWindow->show();
        m_pControl = std::make_unique<CWindowControl>(*m_pWindow);
        m_pRemote = std::make_unique<CControlBus>(*m_pControl, m_bus.Address());
        if (!m_pRemote->Open(strWhy)) {
            return false;
        }
        m_pWindow->Recall(CPresetStore(m_rig.m_profile).ReadEntry(CPresetStore::BAND_FM, 2));
        m_client = std::make_unique<CBusClient>(m_bus.Address());
        return true;
    }

    void Preset(int nSlot, unsigned frequency, const std::string& strTitle) {
        const uint32_t nValue = frequency ? CPresetStore::kFmBit | frequency : 0;
        CPresetStore(m_rig.m_profile).WriteSlot(CPresetStore::BAND_FM, nSlot, nValue, strTitle);
    }
    CRadioDlg& Window() { return *m_pWindow; }
    CControlBus& Remote() { return *m_pRemote; }
    CBusClient& Client() { return *m_client; }
    CRadioCore& Core() { return m_pWindow->Core(); }
    void Unplug() {
        m_rig.m_hid.Unplug(m_rig.m_nReceiver);
        m_pWindow->CheckDevice();
    }

    CPrivateBus m_bus;
    CCoreRig m_rig;
    CSkinEngine m_skin;

private:
    std::unique_ptr<CRadioDlg> m_pWindow;
    std::unique_ptr<CWindowControl> m_pControl;
    std::unique_ptr<CControlBus> m_pRemote;
    std::unique_ptr<CBusClient> m_client;
};
