#include "tests/platform/db/PgCluster.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

int FreeLoopbackPort() {
    const CUniqueFd fd(socket(AF_INET, SOCK_STREAM, 0));
    if (!fd.IsValid()) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof address;
    int nPort = 0;
    if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &nLength) == 0) {
        nPort = ntohs(address.sin_port);
    }
    return nPort;
}

std::string Quoted(const std::string& str) {
    std::string quoted = "'";
    for (char c : str) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

CPgCluster* CPgCluster::Shared(std::string& strWhyNot) {
    static std::unique_ptr<CPgCluster> s_pCluster;
    static std::string s_strWhyNot;
    static bool s_bTried = false;
    if (!s_bTried) {
        s_bTried = true;
        std::unique_ptr<CPgCluster> pCluster(new CPgCluster);
        if (pCluster->Start(s_strWhyNot)) {
            s_pCluster = std::move(pCluster);
        }
    }
    strWhyNot = s_strWhyNot;
    return s_pCluster.get();
}

bool CPgCluster::Start(std::string& strWhyNot) {
    m_strBin = KESTREL_PG_BINDIR;
    if (m_strBin.empty() || !std::filesystem::exists(m_strBin + "/initdb")) {
        strWhyNot = "initdb and pg_ctl were not found (install postgresql)";
        return false;
    }
    if (!std::filesystem::exists(KESTREL_PG_ODBC_DRIVER)) {
        strWhyNot = "the PostgreSQL ODBC driver was not found (install odbc-postgresql)";
        return false;
    }
    const passwd* pAccount = nullptr;
    if (geteuid() == 0) {
        pAccount = getpwnam("postgres");
        if (!pAccount) {
            strWhyNot = "running as root and there is no 'postgres' account to run the server";
            return false;
        }
        m_bAsPostgres = true;
    }
    std::string strPattern = "/tmp/kestrel-pg-XXXXXX";
    if (!mkdtemp(strPattern.data())) {
        strWhyNot = "cannot make a temporary folder";
        return false;
    }
    m_strFolder = strPattern;
    if (pAccount && chown(m_strFolder.c_str(), pAccount->pw_uid, pAccount->pw_gid) != 0) {
        strWhyNot = "cannot hand the cluster folder to the 'postgres' account";
        return false;
    }

    // From here on the watchdog owns the clean-up: it waits for this process
    // to close its pipe (or to die), then stops the server and removes the folder.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        strWhyNot = "cannot make the watchdog's pipe";
        return false;
    }
    CUniqueFd readEnd(fds[0]);
    CUniqueFd writeEnd(fds[1]);
    const std::string strData = m_strFolder + "/data";
    std::string strStop;
    for (const auto& strWord :
         AsServerUser({m_strBin + "/pg_ctl", "-D", strData, "-m", "immediate", "-s", "stop"})) {
        strStop += Quoted(strWord) + " ";
    }
    const std::string strScript =
        "PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH; cat >/dev/null; [ -e " +
        Quoted(strData + "/postmaster.pid") + " ] && " + strStop + "; rm -rf " +
        Quoted(m_strFolder);
    m_watchdog = fork();
    if (m_watchdog == 0) {
        dup2(readEnd.Get(), 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl("/bin/sh", "sh", "-c", strScript.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    readEnd.Reset();
    m_watchdogPipe = std::move(writeEnd);
    if (m_watchdog < 0) {
        strWhyNot = "cannot start the watchdog";
        return false;
    }

    m_nPort = FreeLoopbackPort();
    if (Run(AsServerUser({m_strBin + "/initdb", "-D", strData, "-U", "kestrel", "--auth=trust",
                          "-E", "UTF8", "--locale=C", "--no-sync"})) != 0) {
        strWhyNot = "initdb failed: " + LogTail();
        return false;
    }
    const std::string strOptions = "-c listen_addresses=127.0.0.1 -p " + std::to_string(m_nPort) +
                                   " -k " + m_strFolder + " -c fsync=off -c full_page_writes=off";
    if (Run(AsServerUser({m_strBin + "/pg_ctl", "-D", strData, "-l", m_strFolder + "/server.log",
                          "-w", "-t", "60", "-o", strOptions, "start"})) != 0) {
        strWhyNot = "the server did not start: " + LogTail();
        return false;
    }
    return true;
}

CPgCluster::~CPgCluster() {
    m_watchdogPipe.Reset();
    if (m_watchdog > 0) {
        waitpid(m_watchdog, nullptr, 0);
    }
}

CSimDataSource::SServer CPgCluster::Server() const {
    return {KESTREL_PG_ODBC_DRIVER,
            {{"Servername", "127.0.0.1"},
             {"Port", std::to_string(m_nPort)},
             {"Database", "postgres"},
             {"Username", "kestrel"}},
            CDbSchema::EDialect::PostgreSQL};
}

std::vector<std::string> CPgCluster::AsServerUser(std::vector<std::string> command) const {
    if (m_bAsPostgres) {
        command.insert(command.begin(), {"runuser", "-u", "postgres", "--"});
    }
    return command;
}

int CPgCluster::Run(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& strWord : command) {
        argv.push_back(const_cast<char*>(strWord.c_str()));
    }
    argv.push_back(nullptr);
    const std::string strLog = m_strFolder + "/setup.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int nError = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (nError != 0) {
        std::ofstream(strLog, std::ios::app)
            << "cannot run " << command[0] << ": " << std::strerror(nError) << "\n";
        return -1;
    }
    int nStatus = 0;
    if (waitpid(pid, &nStatus, 0) < 0) {
        return -1;
    }
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

std::string CPgCluster::LogTail() const {
    std::ifstream log(m_strFolder + "/setup.log");
    std::stringstream text;
    text << log.rdbuf();
    const std::string strLog = text.str();
    return strLog.size() > 600 ? strLog.substr(strLog.size() - 600) : strLog;
}
