#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "device/HidDevice.h"
#include "platform/clock/SimClock.h"
#include "platform/hid/SimHidServices.h"
#include "platform/profile/Profile.h"
#include "platform/window/WindowMessages.h"
#include "sim/receiver/SimReceiver.h"
#include "tests/support/TempDir.h"
#include "tuner/Tuner.h"

// The main window as the tuner sees it: counts the device link's read
// reports and runs the WM_SEEK_FOUND handler on the sender's thread.
class CTunerWindow : public CMessageTarget {
public:
    void Post(uint32_t message, uintptr_t wParam, intptr_t) override {
        if (message == WM_DEVICE_REPORT && wParam == DEVICE_REPORT_READ) {
            ++m_nReads;
        }
    }
    intptr_t Send(uint32_t message, uintptr_t, intptr_t) override {
        if (message == WM_SEEK_FOUND) {
            ++m_nSeekFound;
            if (m_onSeekFound) {
                m_onSeekFound();
            }
        }
        return 0;
    }

    std::atomic<long> m_nReads{0};
    std::atomic<int> m_nSeekFound{0};
    std::function<void()> m_onSeekFound;
};

// A tuner on the simulated receiver, through the real device link and its
// read thread, with the given clock.
class CTunerRig {
public:
    explicit CTunerRig(CClock& clock) : m_tuner(m_profile, clock) {
        m_nReceiver = m_services.AddInterface(CSimReceiver::Interface(m_pReceiver));
        m_tuner.SetDevice(&m_device);
        m_device.Open(&m_window, WM_DEVICE_REPORT);
    }
    ~CTunerRig() {
        m_tuner.JoinSeek();
        m_device.Close();
    }

    // Waits until every write asked of the link has been made and every
    // answer of the receiver has reached the input buffer.
    void Settle() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!m_device.IsOpen()) {
                return;
            }
            const uint64_t nReceived = m_pReceiver->ReportCount();
            if (!m_device.IsWritePending() && nReceived >= m_device.WritesMade() &&
                m_window.m_nReads.load() - m_nFailedReads >= static_cast<long>(nReceived)) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }

    // Opens the link again after an unplug; the failed reads of the gone
    // receiver were reported too and must not count as answers.
    void Reopen() {
        m_device.Open(&m_window, WM_DEVICE_REPORT);
        m_nFailedReads = m_window.m_nReads.load() - static_cast<long>(m_pReceiver->ReportCount());
    }

    void UsePlan(int nBand) {
        m_profile.WriteProfileInt("SET", "BAND", nBand);
        m_tuner.LoadBandPlan();
        m_pReceiver->SetAmPlan(nBand == 2 ? 10 : 9);
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    std::shared_ptr<CSimReceiver> m_pReceiver = std::make_shared<CSimReceiver>();
    CSimHidServices m_services;
    int m_nReceiver = -1;
    long m_nFailedReads = 0;
    CTunerWindow m_window;
    CHidDevice m_device{m_services};
    CTuner m_tuner;
};
