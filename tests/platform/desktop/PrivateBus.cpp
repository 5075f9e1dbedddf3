#include "tests/platform/desktop/PrivateBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/posix/UniqueFd.h"

extern char** environ;

namespace {

// Whatever the machine runs, nothing in a program with private buses may
// reach its session or system bus: the buses the environment names lead
// nowhere. Set before main, while no thread can read the environment.
[[maybe_unused]] const bool g_bMachineBusesHidden = [] {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kestrel-test-session-bus", 1);
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/kestrel-test-system-bus", 1);
    return true;
}();

// Everyone may own any name and call anyone: the fakes stand in for system
// services here.
std::string Config(const std::string& strFolder, bool bServiceDir) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           strFolder +
           "/bus</listen>\n"
           "  <auth>EXTERNAL</auth>\n" +
           (bServiceDir ? "  <servicedir>" + strFolder + "/services</servicedir>\n" : "") +
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

}  // namespace

CPrivateBus::CPrivateBus(const std::string& strFailingService) {
    if (!Start(strFailingService)) {
        Stop();
    }
}

CPrivateBus::~CPrivateBus() {
    Stop();
}

std::string CPrivateBus::AbsentAddress() const {
    return "unix:path=" + m_dir.File("no-bus");
}

bool CPrivateBus::Start(const std::string& strFailingService) {
    const std::string strConfig = m_dir.File("bus.conf");
    std::ofstream(strConfig) << Config(m_dir.Path().string(), !strFailingService.empty());
    if (!strFailingService.empty()) {
        std::filesystem::create_directory(m_dir.Path() / "services");
        std::ofstream(m_dir.File("services/" + strFailingService + ".service"))
            << "[D-BUS Service]\nName=" << strFailingService << "\nExec=/bin/false\n";
    }

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_strError = std::strerror(errno);
        return false;
    }
    CUniqueFd readEnd(fds[0]);
    CUniqueFd writeEnd(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.Get(), STDOUT_FILENO);
    std::vector<std::string> args = {KESTREL_DBUS_DAEMON, "--config-file=" + strConfig, "--nofork",
                                     "--print-address"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int nError =
        posix_spawn(&m_pid, KESTREL_DBUS_DAEMON, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.Reset();
    if (nError != 0) {
        m_pid = -1;
        m_strError = std::string("cannot start dbus-daemon: ") + std::strerror(nError);
        return false;
    }
    // The address is printed once the daemon listens.
    std::string strOut;
    while (strOut.find('\n') == std::string::npos) {
        pollfd entry{readEnd.Get(), POLLIN, 0};
        char buffer[256];
        if (::poll(&entry, 1, 20000) <= 0) {
            m_strError = "dbus-daemon printed no address";
            return false;
        }
        const ssize_t n = ::read(readEnd.Get(), buffer, sizeof buffer);
        if (n <= 0) {
            m_strError = "dbus-daemon ended before it listened";
            return false;
        }
        strOut.append(buffer, static_cast<size_t>(n));
    }
    m_strAddress = strOut.substr(0, strOut.find('\n'));
    return true;
}

void CPrivateBus::Stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}
