#include "tests/e2e/DesktopSession.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/install/CommandRun.h"

extern char** environ;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 800;
// The tray spans the top right corner: trayer's panel, 200 by 32 pixels.
constexpr int kTrayWidth = 200;
constexpr int kTrayHeight = 32;
constexpr int kIconSize = 48;

int Number(const std::string& strText, const std::string& strLabel) {
    const size_t nAt = strText.find(strLabel);
    return nAt == std::string::npos ? -1 : std::atoi(strText.c_str() + nAt + strLabel.size());
}

}  // namespace

CDesktopSession::CDesktopSession(const std::filesystem::path& folder) : m_folder(folder) {
    if (!m_bus.IsRunning()) {
        throw std::runtime_error("no session bus: " + m_bus.Error());
    }
    std::filesystem::create_directories(m_folder / "home");
    StartServer(folder);
    const auto start = [this](const std::vector<std::string>& command, const char* pLog) {
        std::vector<std::string> entries = Environment();
        for (const char* pName : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
            entries.push_back(std::string(pName) + "=" + (m_folder / "home").string());
        }
        m_programs.push_back(std::make_unique<CChildProgram>(
            command, WithEntries(entries), m_folder.string(), (m_folder / pLog).string()));
    };
    m_strMonitorLog = (m_folder / "notifications.log").string();
    start({"/usr/bin/dbus-monitor", "--address", m_bus.Address(),
           "interface='org.freedesktop.Notifications',member='Notify'"},
          "notifications.log");
    // A panel mapped before the window manager runs stays unmapped. On a
    // loaded machine openbox now and then finds no display at its first go
    // (the server took the number, not yet every client): it is given three.
    bool bManager = false;
    for (int nTry = 0; nTry < 3 && !bManager; ++nTry) {
        if (nTry > 0) {
            m_programs.pop_back();
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        start({"/usr/bin/openbox", "--sm-disable"}, "openbox.log");
        CChildProgram& manager = *m_programs.back();
        WaitFor([&] {
            bManager = Tool({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
                       std::string::npos;
            return bManager || !manager.IsRunning();
        });
    }
    if (!bManager) {
        throw std::runtime_error("the window manager did not start: " + Log("openbox.log"));
    }
    start({"/usr/bin/trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
           "--width", std::to_string(kTrayWidth), "--heighttype", "pixel", "--height",
           std::to_string(kTrayHeight)},
          "trayer.log");
    start({"/usr/bin/dunst"}, "dunst.log");
    // The tray takes the system tray selection; a program that starts
    // before it would find none.
    const bool bTray = WaitFor([this] {
        return Tool({"xdotool", "search", "--onlyvisible", "--class", "trayer"})
                   .find_first_of("0123456789") != std::string::npos;
    });
    if (!bTray) {
        throw std::runtime_error("the tray did not appear: " + Log("trayer.log"));
    }
}

CDesktopSession::~CDesktopSession() {
    while (!m_programs.empty()) {
        if (m_programs.back()->IsRunning()) {
            m_programs.back()->Signal(SIGTERM);
            m_programs.back()->Wait(std::chrono::seconds(5));
        }
        m_programs.pop_back();
    }
}

// The server picks a free display itself and writes its number once it
// accepts connections: no other server can take it between a look and a start.
void CDesktopSession::StartServer(const std::filesystem::path& folder) {
    const std::filesystem::path numberFile = folder / "display";
    const std::string strCommand =
        "exec /usr/bin/Xvfb -displayfd 3 -nolock -nolisten tcp "
        "-nolisten unix -screen 0 " +
        std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24 3>'" + numberFile.string() +
        "'";
    m_programs.push_back(
        std::make_unique<CChildProgram>(std::vector<std::string>{"/bin/sh", "-c", strCommand},
                                        std::vector<std::string>{"PATH=/usr/bin:/bin"},
                                        folder.string(), (folder / "xvfb.log").string()));
    CChildProgram& server = *m_programs.back();
    const bool bUp = WaitFor([&] {
        std::ifstream file(numberFile);
        std::string strNumber;
        if (!server.IsRunning() || !std::getline(file, strNumber) || !file) {
            return !server.IsRunning();
        }
        m_strDisplay = ":" + strNumber;
        return true;
    });
    if (!bUp || !server.IsRunning()) {
        throw std::runtime_error("no X server could be started: " + Log("xvfb.log"));
    }
}

std::vector<std::string> CDesktopSession::Environment() const {
    return {"DISPLAY=" + m_strDisplay, "DBUS_SESSION_BUS_ADDRESS=" + m_bus.Address(),
            "DBUS_SYSTEM_BUS_ADDRESS=" + m_bus.Address()};
}

std::vector<std::string> CDesktopSession::WithEntries(const std::vector<std::string>& entries) {
    std::vector<std::string> environment;
    for (char** pEntry = environ; *pEntry; ++pEntry) {
        const std::string_view entry(*pEntry);
        const std::string_view name = entry.substr(0, entry.find('=') + 1);
        const bool bReplaced = std::any_of(entries.begin(), entries.end(), [&](const auto& strNew) {
            return std::string_view(strNew).starts_with(name);
        });
        if (!bReplaced) {
            environment.emplace_back(entry);
        }
    }
    environment.insert(environment.end(), entries.begin(), entries.end());
    return environment;
}

std::string CDesktopSession::Log(const std::string& strName) const {
    std::ifstream file(m_folder / strName);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string CDesktopSession::Tool(const std::vector<std::string>& command) {
    CCommandRun::SOptions options = CCommandRun::Limit(std::chrono::seconds(30));
    options.environment.emplace_back("DISPLAY", m_strDisplay);
    return CCommandRun::Run(command, options).strOutput;
}

std::vector<CDesktopSession::SWindow> CDesktopSession::VisibleWindows(const std::string& strClass) {
    std::vector<SWindow> windows;
    std::istringstream ids(Tool({"xdotool", "search", "--onlyvisible", "--class", strClass}));
    for (std::string strId; ids >> strId;) {
        const std::string strInfo = Tool({"xwininfo", "-id", strId});
        SWindow window;
        window.strId = strId;
        const size_t nOpen = strInfo.find('"');
        const size_t nClose = strInfo.find('"', nOpen + 1);
        if (nOpen != std::string::npos && nClose != std::string::npos) {
            window.strName = strInfo.substr(nOpen + 1, nClose - nOpen - 1);
        }
        window.x = Number(strInfo, "Absolute upper-left X:");
        window.y = Number(strInfo, "Absolute upper-left Y:");
        window.nWidth = Number(strInfo, "Width:");
        window.nHeight = Number(strInfo, "Height:");
        if (strInfo.find("IsViewable") != std::string::npos) {
            windows.push_back(window);
        }
    }
    return windows;
}

std::optional<CDesktopSession::SWindow> CDesktopSession::VisibleWindow(const std::string& strClass,
                                                                       const std::string& strName) {
    for (const SWindow& window : VisibleWindows(strClass)) {
        if (window.strName == strName) {
            return window;
        }
    }
    return std::nullopt;
}

std::optional<CDesktopSession::SWindow> CDesktopSession::TrayIcon(const std::string& strClass) {
    for (const SWindow& window : VisibleWindows(strClass)) {
        if (window.nWidth <= kIconSize && window.nHeight <= kIconSize &&
            window.x >= kWidth - kTrayWidth && window.y < kTrayHeight) {
            return window;
        }
    }
    return std::nullopt;
}

void CDesktopSession::Click(int x, int y, int nButton) {
    Tool({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click",
          std::to_string(nButton)});
}

void CDesktopSession::Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> command = {"xdotool", "key", "--delay", "100"};
    command.insert(command.end(), keys.begin(), keys.end());
    Tool(command);
}

void CDesktopSession::Minimise(const std::string& strWindowId) {
    Tool({"xdotool", "windowminimize", strWindowId});
}

// dbus-monitor prints a call's strings one a line: the application's name,
// the icon, the summary, the body.
std::vector<std::string> CDesktopSession::NotificationSummaries() const {
    std::vector<std::string> summaries;
    std::ifstream log(m_strMonitorLog);
    int nString = -1;
    for (std::string strLine; std::getline(log, strLine);) {
        if (strLine.find("member=Notify") != std::string::npos) {
            nString = 0;
            continue;
        }
        const size_t nAt = strLine.find("string \"");
        if (nString < 0 || nAt == std::string::npos || strLine.find_first_not_of(' ') != nAt) {
            continue;
        }
        if (nString++ == 2) {
            const std::string strValue = strLine.substr(nAt + 8);
            summaries.push_back(strValue.substr(0, strValue.rfind('"')));
            nString = -1;
        }
    }
    return summaries;
}
