#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/ChildProgram.h"
#include "tests/platform/desktop/PrivateBus.h"

// A desktop of the test's own, as a user sits at one: an X server (Xvfb,
// listening on an abstract socket only, so that nothing is written outside
// the test's folder), a window manager (openbox), a system tray (trayer), a
// notification service (dunst), all on a private session bus, and a watch on
// that bus for the notifications sent. Driven as a user would, through
// xdotool. Everything it started is stopped when it goes.
//
// Throws std::runtime_error when a part of it cannot be started.
class CDesktopSession {
public:
    explicit CDesktopSession(const std::filesystem::path& folder);
    ~CDesktopSession();

    CDesktopSession(const CDesktopSession&) = delete;
    CDesktopSession& operator=(const CDesktopSession&) = delete;

    const std::string& Display() const { return m_strDisplay; }
    const std::string& BusAddress() const { return m_bus.Address(); }
    // "NAME=value" entries a program of this desktop needs besides its own:
    // the display and the session bus (the system bus is one without logind).
    std::vector<std::string> Environment() const;
    // This process's environment with the given entries in place of its own.
    static std::vector<std::string> WithEntries(const std::vector<std::string>& entries);
    // What a program of the desktop wrote (its log file's name).
    std::string Log(const std::string& strName) const;

    struct SWindow {
        std::string strId;
        std::string strName;
        int x = 0;  // the client area on the screen
        int y = 0;
        int nWidth = 0;
        int nHeight = 0;
    };
    // The mapped windows of a program (by its X class).
    std::vector<SWindow> VisibleWindows(const std::string& strClass);
    std::optional<SWindow> VisibleWindow(const std::string& strClass, const std::string& strName);
    // The mapped window of the class that is no bigger than an icon and lies
    // inside the tray.
    std::optional<SWindow> TrayIcon(const std::string& strClass);

    void Click(int x, int y, int nButton);
    // Keys as xdotool names them ("Down", "Return").
    void Keys(const std::vector<std::string>& keys);
    void Minimise(const std::string& strWindowId);

    // The summaries of the notifications sent on the bus so far.
    std::vector<std::string> NotificationSummaries() const;

    // Waits for a condition on the desktop; false when the deadline passed.
    template <typename Condition>
    static bool WaitFor(Condition condition,
                        std::chrono::milliseconds deadline = std::chrono::seconds(20));

private:
    std::string Tool(const std::vector<std::string>& command);
    void StartServer(const std::filesystem::path& folder);

    std::filesystem::path m_folder;
    std::string m_strDisplay;
    CPrivateBus m_bus;
    std::vector<std::unique_ptr<CChildProgram>> m_programs;  // stopped last first
    std::string m_strMonitorLog;
};

template <typename Condition>
bool CDesktopSession::WaitFor(Condition condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}
