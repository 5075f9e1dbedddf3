#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/scheduler/SchedulerServices.h"

// Where the at tools live. The defaults are the system's; tests point them
// elsewhere.
struct SAtCommands {
    std::string strAt = "at";
    std::string strAtq = "atq";
    std::string strAtrm = "atrm";
    std::string strAtd;  // empty: the daemon found when the program was built
    std::string strSystemctl = "systemctl";
    // Present only while systemd manages the system.
    std::string strServiceManagerMark = "/run/systemd/system";
    std::string strPidFile = "/run/atd.pid";
    // at's access rules, and whose access they are checked for.
    std::string strAllowFile = "/etc/at.allow";
    std::string strDenyFile = "/etc/at.deny";
    uid_t nUser = ::geteuid();
};

struct SAtJob {
    int nId = 0;
    char cQueue = 0;  // '=' while the job runs
    std::string strOwner;
};

// The scheduler on the at daemon (atd). A work item is an at job whose
// script carries "# Kestrel work item: <name>" as a marker line, followed by
// "# Kestrel data source: <owner>" when it has an owner; the job
// changes to the item's working directory and execs the program with the
// item's arguments and environment, every word quoted for the shell.
//
// at exports the submitter's environment into the job but leaves DISPLAY
// out, which is why the item's display variables are set in the script.
class CAtScheduler : public CSchedulerServices {
public:
    explicit CAtScheduler(SAtCommands commands = {});

    ESchedulerState State(std::string& strReason) override;
    bool IsRunning() override;
    int Start() override;
    int Submit(const SWorkItem& item, std::string& strError) override;
    bool Remove(const std::string& strName, const std::string& strOwner) override;

    // This user's jobs as atq lists them; false when atq could not be run.
    bool ListJobs(std::vector<SAtJob>& jobs);
    // Ids of this user's jobs that carry the name's marker line and the
    // owner's line after it, or no owner line at all.
    bool FindJobs(const std::string& strName, const std::string& strOwner, std::vector<int>& ids);
    // The running daemon's process id, or -1.
    pid_t DaemonPid() const;

    static std::string MarkerLine(const std::string& strName);
    static std::string OwnerLine(const std::string& strOwner);

private:
    bool WaitForDaemon();
    bool IsPermitted(std::string& strReason);

    SAtCommands m_commands;
    std::string m_strUser;
};
